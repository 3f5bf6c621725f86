// A guide file as one HTML page: channels down the side, hours across, each
// programme a block placed by its start and stop. The page loads nothing and
// runs no script but its own; every text from the guide is escaped.
#pragma once

#include "dump/guide_parser.hpp"
#include "dump/page_plan.hpp"

#include <cstdio>

void print_guide_html(const guide& content, const page_window& asked, std::FILE* out);
