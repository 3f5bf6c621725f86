// What guidepack and guidepack-dump share in reading their command lines
// with getopt_long: their own messages, the same in every locale, for an
// option that is wrong.
#pragma once

#include <getopt.h>

#include <string>

// Has getopt_long print nothing: the programs say it in their own words.
void quiet_getopt();

// The option getopt_long stopped on ('?' or ':'), as the user wrote it:
// `word` (argv[optind - 1]) for a long option, "-x" for a short one, also
// inside a group of short options ("-qx"), where `word` may still be the
// option before. `option` is optopt, 0 for an unknown long option.
std::string option_as_written(const option* long_options, int option, const char* word);

// "PROGRAM: MESSAGE", then the hint at PROGRAM --help, on standard error.
void report_usage_mistake(const char* program, const std::string& message);

// An option given without its argument (getopt_long returned ':'), `word`
// being argv[optind - 1] and `what` what it takes ("a time").
void report_missing_argument(const char* program, const char* word, const char* what);
