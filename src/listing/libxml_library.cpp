#include "listing/libxml_library.hpp"

#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

// libxml2 2.6.27: whatever the library says of it, reading goes on.
libxml_library::libxml_library() { xmlCheckVersion(20627); }

libxml_library::~libxml_library() {
    xmlCleanupParser();
    xmlMemoryDump();
}
