// Streams an XMLTV listing through libxml2's pull reader and turns its nodes
// into events (event_sink.hpp); the applying side builds the model from them.
#pragma once

#include "listing/event_sink.hpp"

#include <libxml/xmlreader.h>

#include <string_view>

// How a reading went.
struct listing_read {
    bool complete = false; // to the end of the document
    bool any_node = false; // libxml2 delivered at least one node
};

// Reads the whole listing at `path` (libxml2's file name conventions apply:
// "-" is standard input, gzip is undone). A listing that could not be opened,
// or whose reading stopped on an XML error, is reported on standard error.
// The model is complete when it returns.
listing_read parse_xml_file(const char* path, const reading_plan& plan = reading_plan::for_this_process());

// The same on a listing held in memory; `name` stands for the path in messages.
listing_read parse_xml_memory(std::string_view listing, const char* name,
                              const reading_plan& plan = reading_plan::for_this_process());

// Turns the node the reader stands on into events.
void processNode(xmlTextReaderPtr reader, event_sink& sink);
