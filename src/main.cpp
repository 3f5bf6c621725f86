// guidepack LISTING [GUIDE]: reads an XMLTV listing, traces what it finds,
// and writes the guide file when a second path is given.
#include "guide_model.hpp"
#include "guide_writer.hpp"
#include "reader.hpp"
#include "trace.hpp"

#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

int main(int argc, char** argv) {
    if (argc < 2) return 1;

    buffer_trace();
    xmlCheckVersion(20627);
    reset_guide_model();

    // A guide is written even from a listing that failed: it holds what was
    // attached before the failure. Any failure makes the status 1.
    bool ok = parse_xml_file(argv[1]);
    if (argc > 2) ok = save_prg_file(argv[2]) && ok;

    xmlCleanupParser();
    xmlMemoryDump();
    return ok ? 0 : 1;
}
