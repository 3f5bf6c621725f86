// What libxml2 prints on standard error while a listing is walked, caught
// on the walking thread so that it can be printed later, in its place
// among the trace.
#pragma once

#include <libxml/xmlerror.h>

#include <cstdio>
#include <string_view>

class libxml_output_capture {
public:
    // `take(context, text)` gets each piece of text libxml2 prints on this
    // thread from now until the capture ends, as the pieces it would have
    // written to standard error.
    using sink = void (*)(void* context, std::string_view text) noexcept;

    libxml_output_capture(sink take, void* context);
    ~libxml_output_capture();
    libxml_output_capture(const libxml_output_capture&) = delete;
    libxml_output_capture& operator=(const libxml_output_capture&) = delete;

private:
    static ssize_t write_piece(void* capture, const char* text, std::size_t size) noexcept;

    sink take_;
    void* context_;
    xmlGenericErrorFunc saved_handler_;
    void* saved_context_;
    FILE* file_ = nullptr;
};
