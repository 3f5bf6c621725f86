// What a listing's file says of itself, apart from libxml2: whether its
// size can be compared with the bytes libxml2 reads, and why libxml2 could
// not open it.
#pragma once

#include <cstdint>
#include <string>

struct file_look {
    bool regular = false;
    std::uint64_t size = 0;
    // gzip or xz: libxml2 unpacks it, and counts the unpacked bytes.
    bool compressed = false;
    // Of those, gzip.
    bool gzip = false;
};

// Looks at the file at `path`. Only a regular file is opened (a FIFO or a
// device is never waited on); one that cannot be read looks like nothing.
file_look look_at_file(const char* path);

// "PATH: CAUSE" for a listing libxml2 could not open, as a stat and an open
// of it say (missing, a directory, no permission), else as `error`, errno
// where libxml2 gave up, says.
std::string unopened_cause(const char* path, int error);
