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
