// A file written sequentially through a large buffer, so that a guide of
// hundreds of MB costs a few hundred system calls, not one per field.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class output_file {
public:
    // Creates or truncates `path`; is_open() tells whether that worked.
    explicit output_file(const std::string& path);
    ~output_file();
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    bool is_open() const { return fd_ >= 0; }

    // After a failed write further bytes are dropped; close() reports it.
    void write(const void* bytes, std::size_t size);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }

    // Flushes and closes; false when any write or the close failed. A regular
    // file left incomplete by a failure is removed.
    bool close();

private:
    void flush();

    std::string path_;
    int fd_ = -1;
    bool regular_ = false;
    bool failed_ = false;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};
