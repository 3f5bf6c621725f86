// The bytes the attribute values of a listing expand to, against a bound that
// grows with the listing read so far. libxml2 expands an attribute's entity
// references anew at every read, so a listing of a few kilobytes can stand
// for gigabytes of values; newer libxml2 bounds the amplification of texts
// the same way.
#pragma once

#include <algorithm>
#include <cstdint>

class expansion_budget {
public:
    // The values may always take this many bytes in all...
    static constexpr std::uint64_t floor = 10'000'000;
    // ... or this many times the bytes of listing read, when that is more.
    static constexpr std::uint64_t ratio = 10;

    // Counts a value of `size` bytes before it is built; false when the
    // values would then pass the bound. `consumed()` tells how many bytes of
    // the listing have been read; it is asked only when the total nears the
    // bound.
    template <typename Consumed> bool admit(std::uint64_t size, Consumed&& consumed) {
        total_ += size;
        if (total_ <= bound_) return true;
        const long long read = consumed();
        if (read > 0) {
            consumed_ = static_cast<std::uint64_t>(read);
            bound_ = std::max(bound_, ratio * consumed_);
        }
        return total_ <= bound_;
    }

    // The bound when the last value was refused, and the bytes of listing
    // read then.
    std::uint64_t bound() const { return bound_; }
    std::uint64_t consumed() const { return consumed_; }

private:
    std::uint64_t total_ = 0;
    std::uint64_t bound_ = floor;
    std::uint64_t consumed_ = 0;
};
