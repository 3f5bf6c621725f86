#include "listing/read_ahead.hpp"

#include "listing/listing_file.hpp"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// libxml2's reader asks for 4 bytes first (to guess the encoding), then for
// 4096 at a time.
constexpr int first_read_size = 4;
constexpr int later_read_size = 4096;

// Eight blocks of 256 KiB: 2 MiB at most unpacked ahead of the walk, enough
// to ride out either thread's slow moment.
constexpr std::size_t block_count = 8;
constexpr std::size_t block_bytes = std::size_t{256} << 10;
constexpr std::size_t reads_per_block = block_bytes / later_read_size + 1;

// libxml2 takes "file:" names and any "scheme://" one for URLs.
bool names_url(const char* name) {
    return std::strstr(name, "://") != nullptr || ::strncasecmp(name, "file:", 5) == 0;
}

void ignore_message(void*, const char*, ...) {}

} // namespace

bool listing_read_ahead::suits(const char* path) {
    if (std::string_view(path) == "-" || names_url(path)) return false;
    const file_look look = look_at_file(path);
    return look.regular && look.gzip;
}

listing_read_ahead::listing_read_ahead(input_handle input) : input_(std::move(input)), blocks_(block_count) {
    for (read_block& block : blocks_) {
        block.bytes.resize(block_bytes);
        block.reads.reserve(reads_per_block);
    }
    // The thread that sets libxml2 up is its main thread, whose message
    // handlers are the process's: it must be this one.
    xmlInitParser();
    thread_ = std::thread([this] { read_all(); });
}

listing_read_ahead::~listing_read_ahead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    emptied_.notify_one();
    thread_.join();
}

void listing_read_ahead::read_all() noexcept {
    // What libxml2 would say of a failed read is said on the walking thread,
    // when it reaches that read (fail_again); here it is kept quiet. The
    // handler is this thread's own.
    xmlSetGenericErrorFunc(nullptr, &ignore_message);
    int asked = first_read_size;
    for (std::size_t filled = 0;; ++filled) {
        read_block* block;
        {
            std::unique_lock lock(mutex_);
            // Once all blocks are full, the walk empties half of them before
            // this thread wakes: it wakes seldom, and fills several at once.
            if (filled - blocks_done_ == block_count)
                emptied_.wait(lock, [&] { return stopping_ || filled - blocks_done_ <= block_count / 2; });
            if (stopping_) return;
            block = &blocks_[filled % block_count];
        }
        const bool more = fill(*block, asked);
        {
            const std::lock_guard lock(mutex_);
            ++blocks_filled_;
        }
        filled_.notify_one();
        if (!more) return;
    }
}

// Reads into `block` while it has room for the next read; false once the
// input has ended or failed.
bool listing_read_ahead::fill(read_block& block, int& asked) {
    block.used = 0;
    block.reads.clear();
    while (block.bytes.size() - block.used >= static_cast<std::size_t>(asked)) {
        const int result = input_->readcallback(input_->context, block.bytes.data() + block.used, asked);
        block.reads.push_back({asked, result});
        asked = later_read_size;
        if (result <= 0) return false;
        block.used += static_cast<std::size_t>(result);
    }
    return true;
}

int listing_read_ahead::read(void* context, char* buffer, int size) noexcept {
    return static_cast<listing_read_ahead*>(context)->take(buffer, size);
}

int listing_read_ahead::take(char* buffer, int size) {
    if (!in_step_ || size <= 0) return take_in_order(buffer, size);
    const input_read& read = next_read();
    if (read.asked != size) {
        in_step_ = false;
        return take_in_order(buffer, size);
    }
    if (read.result <= 0) return read.result < 0 ? fail_again(buffer, size) : 0;
    std::memcpy(buffer, blocks_[blocks_done_ % block_count].bytes.data() + byte_at_,
                static_cast<std::size_t>(read.result));
    byte_at_ += static_cast<std::size_t>(read.result);
    ++read_at_;
    return read.result;
}

// As many bytes as asked, whatever reads they came in, up to the end or the
// failure, which the call after the last bytes meets.
int listing_read_ahead::take_in_order(char* buffer, int size) {
    int given = 0;
    while (given < size) {
        const input_read& read = next_read();
        if (read.result <= 0) {
            if (given > 0 || read.result == 0) return given;
            return fail_again(buffer, size);
        }
        const std::size_t left = static_cast<std::size_t>(read.result) - taken_of_read_;
        const std::size_t count = std::min(left, static_cast<std::size_t>(size - given));
        std::memcpy(buffer + given, blocks_[blocks_done_ % block_count].bytes.data() + byte_at_, count);
        byte_at_ += count;
        taken_of_read_ += count;
        given += static_cast<int>(count);
        if (taken_of_read_ == static_cast<std::size_t>(read.result)) {
            taken_of_read_ = 0;
            ++read_at_;
        }
    }
    return given;
}

// The read the walk has come to, waiting for the thread when it is not
// there yet. The last read, which ended or failed the input, stays there.
const listing_read_ahead::input_read& listing_read_ahead::next_read() {
    if (holding_ && read_at_ == blocks_[blocks_done_ % block_count].reads.size()) hand_back_block();
    if (!holding_) {
        std::unique_lock lock(mutex_);
        filled_.wait(lock, [&] { return blocks_filled_ > blocks_done_; });
        holding_ = true;
        read_at_ = 0;
        byte_at_ = 0;
    }
    return blocks_[blocks_done_ % block_count].reads[read_at_];
}

void listing_read_ahead::hand_back_block() {
    holding_ = false;
    bool half_empty;
    {
        const std::lock_guard lock(mutex_);
        ++blocks_done_;
        half_empty = blocks_filled_ - blocks_done_ == block_count / 2;
    }
    if (half_empty) emptied_.notify_one();
}

// The thread has stopped at the failed read and no longer touches the
// input: the same read, made again here, fails again at once (libxml2's
// unpackers keep their error), and libxml2 says why on this thread, in its
// place among the walk's messages.
int listing_read_ahead::fail_again(char* buffer, int size) {
    const int again = input_->readcallback(input_->context, buffer, size);
    return again < 0 ? again : -1;
}
