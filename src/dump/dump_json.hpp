// A guide file as one JSON document, one programme per line so that a large
// guide never has to be held as a JSON tree. Text is Latin-1 turned to UTF-8.
#pragma once

#include "dump/guide_parser.hpp"

#include <cstdio>

void print_guide_json(const guide& content, std::FILE* out);
