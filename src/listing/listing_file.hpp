// What the first bytes of a file say about it as a listing, before libxml2
// opens it: whether it is one, and whether its size can be compared with the
// bytes libxml2 reads.
#pragma once

#include <cstdint>

struct file_look {
    bool regular = false;
    std::uint64_t size = 0;
    // gzip or xz: libxml2 unpacks it, and counts the unpacked bytes.
    bool compressed = false;
    // Of those, gzip.
    bool gzip = false;
    // An optional UTF-8 byte order mark and white space, then '<'.
    bool starts_like_xml = false;

    // An XML document, which no guide ever is. A compressed file is not
    // looked into: it is written over as it always was.
    bool is_listing() const { return regular && starts_like_xml; }
};

// Looks at the file at `path`. Only a regular file is opened (a FIFO or a
// device is never waited on); one that cannot be read looks like nothing.
file_look look_at_file(const char* path);
