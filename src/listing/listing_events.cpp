#include "listing/listing_events.hpp"

#include <algorithm>

event_block::event_block(std::size_t capacity)
    : bytes_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

void event_block::grow(std::size_t need) {
    const std::size_t capacity = std::max(capacity_ * 2, size_ + need);
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(bigger.get(), bytes_.get(), size_);
    bytes_ = std::move(bigger);
    capacity_ = capacity;
}

void event_block::clear(std::size_t capacity) {
    size_ = 0;
    if (capacity_ > 2 * capacity) {
        bytes_ = std::make_unique_for_overwrite<char[]>(capacity);
        capacity_ = capacity;
    }
}

void event_block::extend_last(std::string_view more) {
    if (more.empty()) return;
    if (capacity_ - size_ < more.size()) grow(more.size());
    char* length_at = bytes_.get() + last_ + 2;
    std::uint32_t length;
    std::memcpy(&length, length_at, sizeof length);
    length += static_cast<std::uint32_t>(more.size());
    std::memcpy(length_at, &length, sizeof length);
    std::memcpy(bytes_.get() + size_, more.data(), more.size());
    size_ += more.size();
}
