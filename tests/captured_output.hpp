// What the code under test writes to stdout or stderr, kept for the test to
// compare: the stream's descriptor is pointed at a temporary file for the
// lifetime of the object, and given back by take() or the destructor.
#pragma once

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include <unistd.h>

class captured_output {
public:
    // stream: stdout or stderr.
    explicit captured_output(std::FILE* stream)
        : stream_(stream), fd_(::fileno(stream)), file_(std::tmpfile(), &std::fclose) {
        if (!file_) fail("tmpfile");
        std::fflush(stream_);
        saved_ = ::dup(fd_);
        if (saved_ < 0) fail("dup");
        if (::dup2(::fileno(file_.get()), fd_) < 0) {
            ::close(saved_);
            fail("dup2");
        }
    }
    ~captured_output() { restore(); }
    captured_output(const captured_output&) = delete;
    captured_output& operator=(const captured_output&) = delete;

    // Gives the stream back and returns everything written to it meanwhile.
    std::string take() {
        restore();
        std::string text;
        std::rewind(file_.get());
        char chunk[4096];
        std::size_t size;
        while ((size = std::fread(chunk, 1, sizeof chunk, file_.get())) > 0) text.append(chunk, size);
        return text;
    }

private:
    [[noreturn]] static void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

    void restore() {
        if (saved_ < 0) return;
        std::fflush(stream_);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
    }

    std::FILE* stream_;
    int fd_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    int saved_ = -1;
};
