// Where a run keeps its temporary files. The new guide is written beside the
// file the guide path leads to, so that the rename that makes it the guide
// never crosses file systems. The records' spill goes to the guide's folder
// too, so that it takes the guide's file system and not a small /tmp held
// in memory, or to $TMPDIR (/tmp) when the guide is no regular file.
#pragma once

#include <string>
#include <vector>

// The folder part of `path` ("." when it has none).
std::string folder_of(const std::string& path);

// Follows the symbolic links of `path` to the file they lead to, so that a
// link stays a link and its target gets the new guide. Empty when the path
// names an open descriptor (/dev/stdout, /proc/self/fd/1...): such a guide
// is written in place.
std::string follow_links(std::string path);

// The name pattern, for mkostemp, of the new guide's temporary file beside
// `target`: ".NAME.XXXXXX".
std::string replacement_pattern(const std::string& target);

// The folders to try, in order, for the records' spill of a run writing the
// guide at `guide`.
std::vector<std::string> spill_folders_for(const std::string& guide);

// $TMPDIR, or /tmp when it is unset or empty.
std::string system_temporary_folder();
