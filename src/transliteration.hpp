// Turns the listing's UTF-8 text into the single-byte text of the guide file:
// ASCII unchanged, eleven accented lower-case letters as their Latin-1 bytes,
// French quotation marks as '"', and every other character dropped.
#pragma once

#include <string>
#include <string_view>

// Writes the single-byte form of `text` into `out` (replacing its contents).
// The result is never more than twice as long as the input.
void fix_utf8(std::string_view text, std::string& out);

// Converts `field` in place.
void fix_utf8(std::string& field);
