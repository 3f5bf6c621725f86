// attribute-ratio LISTING...: how near each listing comes to guidepack's bound
// on what attribute values expand to. It adds up, entities expanded, the
// attributes guidepack reads (a channel's id, an icon's src once a channel is
// declared, a programme's start, stop and channel) and prints, per listing,
// the largest share of the bound they reached while it was read, and their
// total against the listing's bytes.
#include "format/programme_fields.hpp"
#include "listing/attribute_size.hpp"
#include "listing/expansion_budget.hpp"

#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace {

struct tally {
    double expanded = 0;
    double largest_share = 0; // of the bound
    long long consumed = 0;

    void add(xmlTextReaderPtr reader, const char* name) {
        expanded += static_cast<double>(attribute_size(reader, name, XML_MAX_TEXT_LENGTH));
        consumed = xmlTextReaderByteConsumed(reader);
        const double bound = std::max(static_cast<double>(expansion_budget::floor),
                                      static_cast<double>(expansion_budget::ratio) * static_cast<double>(consumed));
        largest_share = std::max(largest_share, expanded / bound);
    }
};

bool measure(const char* path) {
    xmlTextReaderPtr reader = xmlReaderForFile(path, nullptr, 0);
    if (reader == nullptr) return false;
    tally counted;
    bool any_channel = false;
    int result;
    while ((result = xmlTextReaderRead(reader)) == 1) {
        if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT) continue;
        const std::string_view name = reinterpret_cast<const char*>(xmlTextReaderConstName(reader));
        if (name == "channel") {
            any_channel = true;
            counted.add(reader, "id");
        } else if (name == "icon" && any_channel) {
            counted.add(reader, "src");
        } else if (name == "programme") {
            for (const program_field_info& field : program_fields)
                if (field.source == field_source::programme_attribute) counted.add(reader, field.listing_name.data());
        }
    }
    counted.consumed = xmlTextReaderByteConsumed(reader);
    xmlFreeTextReader(reader);
    std::printf("%s: %.0f bytes of attributes for %lld bytes of listing (%.4f); at most %.5f of the bound%s\n", path,
                counted.expanded, counted.consumed,
                counted.consumed > 0 ? counted.expanded / static_cast<double>(counted.consumed) : 0.0,
                counted.largest_share, result == 0 ? "" : " (stopped on an error)");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: attribute-ratio LISTING...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (measure(argv[i])) continue;
        std::fprintf(stderr, "attribute-ratio: cannot open %s\n", argv[i]);
        status = 1;
    }
    return status;
}
