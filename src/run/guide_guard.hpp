// Guards the file at the guide path against a run that would make it worse:
// "guidepack one.xml two.xml" would write a guide over the second listing,
// and a stale listing would replace a good guide with an empty one.
#pragma once

#include <cstdint>

// True, after saying why on standard error, when `guide` is a non-empty
// regular file that does not start like a guide, or whose first bytes
// cannot be read. `from_option`: it was given with -o, so the hint at -o is
// left out.
bool refuse_other_file_as_guide(const char* guide, bool from_option);

// True, after saying so on standard error, when a new guide of `programmes`
// programmes, none, would replace a guide at `guide` that holds some.
bool keep_fuller_guide(const char* guide, std::int64_t programmes);
