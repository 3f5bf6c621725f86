// Guards a listing against being taken for the guide: "guidepack one.xml
// two.xml" would otherwise write a guide over the second listing.
#pragma once

// True, after saying why on standard error, when `guide` looks like a
// listing (listing_file.hpp) and must not be written over.
bool refuse_listing_as_guide(const char* guide);
