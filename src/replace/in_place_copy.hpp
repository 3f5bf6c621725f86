// The last resort for a regular guide whose folder takes no new file while
// the guide itself may be written: the new guide, complete in a scratch file
// elsewhere, is copied over the old one. The old guide's bytes are put aside
// first and copied back if the copy fails, and the signals that stop a run
// wait until it is over: the guide ends as the old one or the new one.
// A reader that opens it during the copy may still see a mixture.
#pragma once

#include <string>
#include <vector>

// Copies the whole of `staged` (a descriptor open for reading, in
// `staged_folder`) over the regular file `guide`, putting the old bytes aside in the first of
// `scratch_folders` that takes a file. False, with `failure` saying where
// and why ("PATH: CAUSE"), when the guide could not be made the new one.
bool copy_over(int staged, const std::string& staged_folder, const std::string& guide,
               const std::vector<std::string>& scratch_folders,
               std::string& failure);
