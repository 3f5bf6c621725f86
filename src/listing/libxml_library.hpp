// libxml2's global state for the span of a run: the library checked against
// the version the reader is written for, and released once reading is over.
#pragma once

class libxml_library {
public:
    libxml_library();
    // xmlCleanupParser, then xmlMemoryDump.
    ~libxml_library();
    libxml_library(const libxml_library&) = delete;
    libxml_library& operator=(const libxml_library&) = delete;
};
