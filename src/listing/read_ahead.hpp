// A gzip listing unpacked on a second thread while the walk goes on. That
// thread reads the input libxml2 opens for the path with libxml2's own read
// function for it, in the sizes libxml2's reader asks for (one read of 4
// bytes, then reads of 4096), so that the unpacker's state goes as it would
// on the walking thread. The reader takes the bytes through xmlReaderForIO's
// callback, a read for each read: each gives back what it would have given,
// and the read that failed fails again, on the walking thread, where libxml2
// says why. Should the reader ask other sizes, the bytes go on in order, as
// many as asked, up to the end or the failure.
#pragma once

#include <libxml/xmlIO.h>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class listing_read_ahead {
public:
    // Whether `path` names a local file that starts as gzip does: only such a
    // listing is read ahead. "-", URLs and the rest are libxml2's alone.
    static bool suits(const char* path);

    struct input_deleter {
        void operator()(xmlParserInputBufferPtr input) const { xmlFreeParserInputBuffer(input); }
    };
    using input_handle = std::unique_ptr<xmlParserInputBuffer, input_deleter>;

    // Starts reading `input` ahead. Throws std::system_error when no thread
    // can be had.
    explicit listing_read_ahead(input_handle input);
    // Stops the thread, then closes the input.
    ~listing_read_ahead();
    listing_read_ahead(const listing_read_ahead&) = delete;
    listing_read_ahead& operator=(const listing_read_ahead&) = delete;

    // xmlReaderForIO's callbacks, `context` being this object; it closes the
    // input itself, when it goes.
    static int read(void* context, char* buffer, int size) noexcept;
    static int close(void*) noexcept { return 0; }

private:
    // One read of the input: the size asked, and the bytes it gave (0: the
    // end, negative: it failed).
    struct input_read {
        int asked;
        int result;
    };
    // Reads one after the other, their bytes side by side.
    struct read_block {
        std::vector<char> bytes;
        std::size_t used = 0;
        std::vector<input_read> reads;
    };

    void read_all() noexcept;
    bool fill(read_block& block, int& asked);
    int take(char* buffer, int size);
    int take_in_order(char* buffer, int size);
    const input_read& next_read();
    void hand_back_block();
    int fail_again(char* buffer, int size);

    input_handle input_;
    std::vector<read_block> blocks_;
    std::mutex mutex_;
    std::condition_variable filled_;
    std::condition_variable emptied_;
    // Blocks filled so far, blocks the walk is done with.
    std::size_t blocks_filled_ = 0;
    std::size_t blocks_done_ = 0;
    bool stopping_ = false;

    // The walk's place: in the block blocks_done_ names, when it holds one.
    bool holding_ = false;
    std::size_t read_at_ = 0;
    std::size_t byte_at_ = 0;
    std::size_t taken_of_read_ = 0;
    // The reader asked the sizes read so far.
    bool in_step_ = true;

    std::thread thread_;
};
