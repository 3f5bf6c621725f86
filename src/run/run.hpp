// One run of guidepack: the guards around it, the listings read into the
// model, the guide written from it, and the exit status.
#pragma once

#include "run/run_options.hpp"

// 0 when every listing was read to its end and, when asked, the guide was
// written; 1 otherwise. Every failure is reported on standard error where it
// is found; what stops a run outright leaves the old guide as it was.
int run_guidepack(const run_options& options);
