#include "listing/libxml_output.hpp"

#include <libxml/globals.h>

// libxml2 prints every diagnostic of a parse through its generic error
// handler, whose default is vfprintf to the stream in the generic error
// context (standard error when none is set), and it formats the diagnostic
// itself (file, line, context and caret lines) whenever that default handler
// is in place. So no handler of our own is set here: the default one stays,
// and only its stream changes, for a stream that passes every piece on
// unchanged. The diagnostics keep their bytes and their pieces.
libxml_output_capture::libxml_output_capture(sink take, void* context)
    : take_(take), context_(context), saved_handler_(xmlGenericError), saved_context_(xmlGenericErrorContext) {
    cookie_io_functions_t io{};
    io.write = &libxml_output_capture::write_piece;
    file_ = ::fopencookie(this, "w", io);
    // Without it, libxml2 keeps printing straight to standard error.
    if (file_ == nullptr) return;
    // As standard error: one piece per print, nothing held back.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    xmlSetGenericErrorFunc(file_, nullptr);
}

libxml_output_capture::~libxml_output_capture() {
    if (file_ == nullptr) return;
    xmlSetGenericErrorFunc(saved_context_, saved_handler_);
    std::fclose(file_);
}

ssize_t libxml_output_capture::write_piece(void* capture, const char* text, std::size_t size) noexcept {
    const auto* self = static_cast<libxml_output_capture*>(capture);
    self->take_(self->context_, std::string_view(text, size));
    return static_cast<ssize_t>(size);
}
