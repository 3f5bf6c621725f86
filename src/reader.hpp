// Streams an XMLTV listing through libxml2's pull reader into the guide model.
#pragma once

#include <libxml/xmlreader.h>

#include <string>
#include <string_view>

// Name of the most recent element start; text nodes belong to it.
extern std::string element_name;

// Reads the whole listing at `path` (libxml2's file name conventions apply:
// "-" is standard input, gzip is undone). Returns false when the listing could
// not be opened or its reading stopped on an XML error; both are reported on
// standard error.
bool parse_xml_file(const char* path);

// The same on a listing held in memory; `name` stands for the path in messages.
bool parse_xml_memory(std::string_view listing, const char* name);

// Handles the node the reader stands on.
void processNode(xmlTextReaderPtr reader);
