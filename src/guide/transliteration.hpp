// Turns the listing's UTF-8 text into the single-byte text of the guide file:
// ASCII unchanged, eleven accented lower-case letters as their Latin-1 bytes,
// French quotation marks as '"', and every other character dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The bytes after a 0xC3 lead byte that fix_utf8 keeps as a letter: Ç (as
// C), then à â ç è é ê ë î ï ô ù (as their Latin-1 bytes).
inline constexpr unsigned char kept_c_cedilla = 0x87;
inline constexpr std::array<unsigned char, 11> kept_latin1_letters = {0xA0, 0xA2, 0xA7, 0xA8, 0xA9, 0xAA,
                                                                     0xAB, 0xAE, 0xAF, 0xB4, 0xB9};

// One input byte yields at most two output bytes.
inline constexpr std::size_t max_fixed_size(std::size_t text_size) { return 2 * text_size; }

// Writes the single-byte form of `text` at `out`, which has room for
// max_fixed_size(text.size()) bytes; returns the end of what it wrote.
char* fix_utf8(std::string_view text, char* out);

// How many characters of `text` fix_utf8 writes nothing for: the characters
// the guide cannot hold. A character is a well-formed UTF-8 sequence, or a
// byte that is part of none (which libxml2 never delivers); one whose bytes
// yield anything ("oe" for a 0xBD byte included) is not dropped.
std::uint64_t count_dropped_characters(std::string_view text);
