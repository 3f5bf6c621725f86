// The progress line on standard error, a terminal, while a listing is read
// with the trace off: how much of it was read, how many programmes so far,
// how fast. Redrawn a few times a second at most, erased at the end.
#pragma once

#include <libxml/xmlreader.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

class reading_progress {
public:
    // Draws the first line for the listing at `path`.
    explicit reading_progress(const char* path);
    ~reading_progress() { stop(); }
    reading_progress(const reading_progress&) = delete;
    reading_progress& operator=(const reading_progress&) = delete;

    // After each node. The clock is looked at only every few thousand nodes,
    // so that a line nobody could read costs nothing.
    void node_done(xmlTextReaderPtr reader, std::uint64_t programmes) {
        if (--countdown_ != 0) return;
        countdown_ = nodes_between_looks;
        look(reader, programmes);
    }

    // Erases the line and draws no more: anything else printed on standard
    // error would otherwise land in the middle of it.
    void stop() noexcept;

private:
    using clock = std::chrono::steady_clock;
    static constexpr unsigned nodes_between_looks = 8192;

    void look(xmlTextReaderPtr reader, std::uint64_t programmes);
    void draw(std::uint64_t bytes, std::uint64_t programmes, clock::time_point now);

    std::string path_;
    std::uint64_t size_ = 0; // 0: unknown, or not comparable with the bytes read
    std::size_t width_;
    clock::time_point started_;
    clock::time_point drawn_;
    unsigned countdown_ = nodes_between_looks;
    bool showing_ = true;
};
