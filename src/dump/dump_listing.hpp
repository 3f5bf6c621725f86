// A guide file printed for a person: the header, then each channel with its
// programmes, one value per line.
#pragma once

#include "dump/guide_parser.hpp"

#include <cstdio>

void print_guide_listing(const guide& content, std::FILE* out);
