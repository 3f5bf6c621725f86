// What the walk of a listing finds, as compact events in blocks of bytes: the
// thread that owns libxml2's reader writes them (reader.cpp), the applying
// side takes them in the same order (apply_events.cpp). A block holds whole
// events only.
#pragma once

#include "format/programme_fields.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

enum class event_kind : std::uint8_t {
    element_start,       // an element starts: its name, its element_kind
    value,               // a value the guide keeps: its bytes, its value_target
    diagnostic,          // what libxml2 printed on standard error, as printed
    oversized_attribute, // reading stops on this attribute (its name)
    expansion_refused,   // reading stops: attributes expand too far (expansion_limit)
    end,                 // the listing ends: its listing_end
};

// How the reading of a listing ended.
enum class listing_end : std::uint8_t {
    complete, // read to the end of the document
    failed,   // stopped on an XML error or a refused attribute
};

// The elements that start something in the model.
enum class element_kind : std::uint8_t { other, channel, icon, programme };

// Where a value goes: a programme field (program_field's values), or one of
// the last channel's.
enum class value_target : std::uint8_t {
    channel_id = program_field_count,
    icon_source,
    display_name,
};

constexpr value_target target_of(program_field field) { return static_cast<value_target>(field); }

// Where reading stopped because the attributes expand too far: the bound
// passed, and the bytes of listing read then.
struct expansion_limit {
    std::uint64_t bound;
    std::uint64_t consumed;
};

struct listing_event {
    event_kind kind;
    std::uint8_t detail; // element_kind, value_target or listing_end
    std::string_view bytes;
};

class event_block {
public:
    explicit event_block(std::size_t capacity = 0);
    event_block(event_block&& other) noexcept { *this = std::move(other); }
    event_block& operator=(event_block&& other) noexcept {
        bytes_ = std::move(other.bytes_);
        capacity_ = std::exchange(other.capacity_, 0);
        size_ = std::exchange(other.size_, 0);
        last_ = std::exchange(other.last_, 0);
        return *this;
    }

    // Appends an event; the block grows beyond its capacity when it must.
    void append(event_kind kind, std::uint8_t detail, std::string_view bytes) {
        const std::size_t need = header_size + bytes.size();
        if (capacity_ - size_ < need) grow(need);
        last_ = size_;
        char* at = bytes_.get() + size_;
        at[0] = static_cast<char>(kind);
        at[1] = static_cast<char>(detail);
        const auto length = static_cast<std::uint32_t>(bytes.size());
        std::memcpy(at + 2, &length, sizeof length);
        if (!bytes.empty()) std::memcpy(at + header_size, bytes.data(), bytes.size());
        size_ += need;
    }

    // Calls `take(event)` for each event, in order.
    template <typename Take> void for_each(Take&& take) const {
        for (std::size_t at = 0; at < size_;) {
            const char* event = bytes_.get() + at;
            std::uint32_t length;
            std::memcpy(&length, event + 2, sizeof length);
            take(listing_event{static_cast<event_kind>(event[0]), static_cast<std::uint8_t>(event[1]),
                               std::string_view(event + header_size, length)});
            at += header_size + length;
        }
    }

    // Where the last event appended starts.
    std::size_t last_event() const { return last_; }
    // Appends `more` to the bytes of the last event.
    void extend_last(std::string_view more);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Empties the block; one grown far beyond `capacity` gives its memory back.
    void clear(std::size_t capacity);

private:
    // kind, detail, then the length of the bytes (32 bits: no text libxml2
    // delivers comes near it).
    static constexpr std::size_t header_size = 2 + sizeof(std::uint32_t);

    void grow(std::size_t need);

    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
    std::size_t last_ = 0;
};
