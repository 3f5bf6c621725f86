// Blocks of events from the thread that walks the listing to the thread that
// applies them, a few at a time, so that memory stays bounded whatever the
// listing's size. Applied blocks come back to be filled again. When the
// applying side fails, what it failed with comes back to the sender.
#pragma once

#include "listing/listing_events.hpp"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

class block_pipe {
public:
    // At most `in_flight` blocks wait to be applied; blocks hold about
    // `block_size` bytes.
    block_pipe(std::size_t in_flight, std::size_t block_size);

    // An empty block to fill: one given back, or a new one.
    event_block empty_block();
    // Queues a filled block; waits while `in_flight` blocks are waiting.
    // Throws what the receiver gave up with, if it did.
    void send(event_block&& block);
    // No block follows.
    void close();

    // The next block in order; false once the pipe is closed and drained.
    bool receive(event_block& block);
    // Hands an applied block back.
    void give_back(event_block&& block);
    // The receiver stops for `why`: send() throws it from now on.
    void give_up(std::exception_ptr why);

    // What the receiver gave up with, or null. Asked once it has stopped.
    std::exception_ptr failure();

private:
    const std::size_t in_flight_;
    const std::size_t block_size_;
    std::mutex mutex_;
    std::condition_variable sent_;
    std::condition_variable taken_;
    std::deque<event_block> waiting_;
    std::vector<event_block> spare_;
    bool closed_ = false;
    std::exception_ptr failure_;
};
