// Where a run keeps its temporary files. The new guide is written beside the
// file the guide path leads to, so that the rename that makes it the guide
// never crosses file systems. The records' spill goes to the guide's folder
// too, so that it takes the guide's file system and not a small /tmp held
// in memory, or to $TMPDIR (/tmp) when the guide is no regular file. A guide
// whose folder takes no new file is first written whole in those same
// folders, then copied over the old one (in_place_copy.hpp).
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

// The folder part of `path` ("." when it has none).
std::string folder_of(const std::string& path);

// What a guide path leads to, its symbolic links followed, so that a link
// stays a link and its target gets the new guide.
struct guide_location {
    enum class kind {
        absent,     // nothing there yet (or its folder is missing)
        regular,    // a regular file: replaced by rename
        special,    // a device, FIFO, terminal or folder: written in place
        descriptor, // an open descriptor (/dev/stdout, /proc/self/fd/1...): in place
        unresolved, // the path cannot be followed: `error` says why
    };
    kind what = kind::absent;
    std::string target; // the file the links lead to
    struct stat status {};
    int error = 0;
};

guide_location locate_guide(const std::string& path);

// The name pattern, for mkostemp, of the new guide's temporary file beside
// `target`: ".NAME.XXXXXX", NAME cut short when the whole would not fit in a
// file name.
std::string replacement_pattern(const std::string& target);

// Whether a failure to create a file in a folder means that the folder
// takes no new file from us, rather than that something went wrong.
bool folder_refuses_new_files(int error);

// The folders to try, in order, for the records' spill, and for the whole
// guide when its folder takes no new file, of a run writing the guide at
// `guide`.
std::vector<std::string> spill_folders_for(const std::string& guide);

// $TMPDIR, or /tmp when it is unset or empty.
std::string system_temporary_folder();

// A new file open for reading and writing that has no name, so that it never
// outlives the process, in the first of `folders` that takes one; `folder`
// says which. -1 when none does, with errno set and `folder` the last one
// tried.
int create_unnamed_file(const std::vector<std::string>& folders, std::string& folder);

// "PATH: CAUSE", for messages.
std::string path_failure(const std::string& path, int error);

// "temporary file in FOLDER: CAUSE", for messages.
std::string temporary_file_failure(const std::string& folder, int error);
