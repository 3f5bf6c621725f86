// What the file at a guide path holds before a run replaces it: whether it
// is a guide at all, and how many programmes it holds. Read with a few lines
// of its own, so that guidepack needs no guide parser.
#pragma once

#include <cstdint>

struct existing_guide {
    enum class kind {
        none,       // nothing there, an empty file, or no regular file
        guide,      // a regular file that starts with "PRG1"
        other,      // a regular file that does not
        unreadable, // a regular file whose first bytes cannot be read
    };
    kind what = kind::none;
    int error = 0; // why it is unreadable
};

// Looks at the file `path` leads to. Only a regular file is opened: a FIFO
// or a device is never waited on.
existing_guide look_at_guide(const char* path);

// The programmes of the guide at `path`, counted record by record. A guide
// cut short or damaged counts those found whole before the fault; what is
// no guide counts none.
std::int64_t programmes_in_guide(const char* path);
