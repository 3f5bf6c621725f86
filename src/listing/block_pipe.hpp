// Blocks of events from the thread that walks the listing to the thread that
// applies them, a few at a time, so that memory stays bounded whatever the
// listing's size. Applied blocks come back to be filled again.
#pragma once

#include "listing/listing_events.hpp"

#include <condition_variable>
#include <cstddef>
#include <deque>
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
    void send(event_block&& block);
    // No block follows.
    void close();

    // The next block in order; false once the pipe is closed and drained.
    bool receive(event_block& block);
    // Hands an applied block back.
    void give_back(event_block&& block);

private:
    const std::size_t in_flight_;
    const std::size_t block_size_;
    std::mutex mutex_;
    std::condition_variable sent_;
    std::condition_variable taken_;
    std::deque<event_block> waiting_;
    std::vector<event_block> spare_;
    bool closed_ = false;
};
