// The length of an attribute's value, counted before it is fetched.
//
// Without parser options libxml2 keeps references to internal entities inside
// attribute values and expands them again on every xmlTextReaderGetAttribute.
// A few kilobytes of listing can so stand for gigabytes of value, built in
// minutes. Counting first lets the reader refuse such a value unbuilt.
#pragma once

#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <cstddef>

// How libxml2 holds the value of an attribute found by xmlHasNsProp (an
// attribute or the DTD's default): whole, as the one string xmlGetNoNsProp
// would copy, or in pieces it would join, expanding entity references.
struct held_value {
    bool whole;
    // When whole: that string, or null where xmlGetNoNsProp returns none.
    const xmlChar* text;
};
held_value held_value_of(const xmlAttr* attribute);

// The length in bytes of what xmlGetNoNsProp would return for `attribute`
// (an xmlHasNsProp result), without building it; above `limit`, limit + 1.
std::size_t attribute_size(const xmlAttr* attribute, std::size_t limit);

// The length in bytes of what xmlGetNoNsProp(element, name) returns (0 when it
// returns nothing), without building it; any length above `limit` is given as
// limit + 1. Time and memory grow with the number of nodes involved, each
// entity's content being counted once.
std::size_t attribute_size(const xmlNode* element, const char* name, std::size_t limit);

// The same for xmlTextReaderGetAttribute(reader, name), `name` without prefix.
std::size_t attribute_size(xmlTextReaderPtr reader, const char* name, std::size_t limit);
