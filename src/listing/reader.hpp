// Streams an XMLTV listing through libxml2's pull reader and turns its nodes
// into events (event_sink.hpp); the applying side builds the model from them.
#pragma once

#include "listing/event_sink.hpp"
#include "listing/listing_filter.hpp"

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
// The model is complete when it returns. `filter`, when given, leaves
// elements out (listing_filter.hpp).
listing_read parse_xml_file(const char* path, const reading_plan& plan = reading_plan::for_this_process(),
                            listing_filter* filter = nullptr);

// The same on a listing held in memory; `name` stands for the path in messages.
listing_read parse_xml_memory(std::string_view listing, const char* name,
                              const reading_plan& plan = reading_plan::for_this_process(),
                              listing_filter* filter = nullptr);

// Where the walk goes from a node: into it, or past it and its contents.
enum class walk_step { into, past };

// Turns the node the reader stands on into events, unless `filter` leaves
// out the element starting there.
walk_step processNode(xmlTextReaderPtr reader, event_sink& sink, listing_filter* filter = nullptr);
