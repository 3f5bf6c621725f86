// A file written sequentially through a large buffer, so that a guide of
// hundreds of MB costs a few hundred system calls, not one per field.
#pragma once

#include "common/unique_fd.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>

class output_file {
public:
    // Takes over `fd` (closed by close() or the destructor); a negative one
    // stands for a file that could not be opened.
    explicit output_file(int fd);
    ~output_file();
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    // Closes what it held and takes over the other's file.
    output_file& operator=(output_file&& other) noexcept;

    bool is_open() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }
    // Bytes handed to the system so far.
    std::uint64_t bytes_written() const { return bytes_written_; }

    // After a failed write further bytes are dropped; flush() and close()
    // report it.
    void write(const void* bytes, std::size_t size);

    // Appends `size` bytes of the file `from` at `offset`, copied by the
    // kernel (copy_file_range) where it can, else read and written here.
    // False when the bytes could not be read from `from`, with errno set;
    // a failure to write fails this file, as write() does.
    bool copy_from(int from, std::uint64_t offset, std::uint64_t size);

    // From now on, the kernel is asked to start writing the file out each
    // time this many more bytes have been handed to it, so that a final
    // fsync has little left to wait for.
    void start_writeback_every(std::uint64_t bytes) { writeback_step_ = bytes; }

    // Hands the buffered bytes to the system; false when any write failed.
    bool flush();
    // Flushes and closes; false when any write or the close failed.
    bool close();

    // The cause of the first failure (errno), or 0.
    int error() const { return error_; }

private:
    void write_out(const char* bytes, std::size_t size);
    bool copy_through_buffer(int from, std::uint64_t offset, std::uint64_t size);
    void handed_over(std::uint64_t size);
    void grow();
    void fail(int error);

    unique_fd fd_;
    bool failed_ = false;
    int error_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::uint64_t bytes_written_ = 0;
    std::uint64_t writeback_step_ = 0;
    std::uint64_t written_back_ = 0; // bytes the kernel was asked to write out
    bool kernel_copies_ = true;      // until copy_file_range says it cannot
};
