// Text as the listing gives it: a field that may be absent, a view of one,
// and the hash that lets tables keyed by channel id be searched with views.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A string field: absent until the listing sets it; a present one may be empty.
using text_field = std::optional<std::string>;
using text_view = std::optional<std::string_view>;

inline text_view view_of(const text_field& field) { return field ? text_view{*field} : text_view{}; }

// Hashes a string and a view of it alike, so that tables keyed by channel id
// are looked up with views, without a copy.
struct id_hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view id) const noexcept { return std::hash<std::string_view>{}(id); }
};

// `text` without the UTF-8 byte order mark some editors put at its start.
inline std::string_view without_byte_order_mark(std::string_view text) {
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (text.starts_with(byte_order_mark)) text.remove_prefix(byte_order_mark.size());
    return text;
}
