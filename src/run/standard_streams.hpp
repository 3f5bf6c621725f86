// Guards around the standard streams.
#pragma once

// Opens /dev/null on standard input, output or error when it is closed, so
// that no file opened later takes its descriptor (a guide opened as
// descriptor 1 would receive the trace).
void fill_closed_standard_streams();

// Whether `guide` is the file standard output writes to, where trace and
// guide would overwrite each other. /dev/null may be both: it is not.
bool is_standard_output(const char* guide);
