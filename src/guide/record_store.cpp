#include "guide/record_store.hpp"

#include "guide/temporary_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The spill is read back in blocks of this size.
constexpr std::size_t block_size = std::size_t{1} << 20;

} // namespace

std::unique_ptr<record_store> record_store::create_in(const std::vector<std::string>& folders) {
    std::string folder;
    const int fd = create_unnamed_file(folders, folder);
    if (fd >= 0) return std::make_unique<record_store>(fd, default_group_budget, folder);
    std::fprintf(stderr, "guidepack: cannot create a temporary file in %s: %s\n", folder.c_str(),
                 std::strerror(errno));
    return nullptr;
}

record_store::record_store(int spill_fd, std::uint64_t group_budget, std::string folder)
    : spill_(spill_fd), spill_fd_(spill_fd), folder_(std::move(folder)), group_budget_(group_budget) {}

void record_store::fail(int error) {
    if (error_ == 0) error_ = error;
}

std::string record_store::failure() const { return temporary_file_failure(folder_, error_); }

std::uint64_t record_store::bytes_of(std::int32_t channel) const {
    const auto index = static_cast<std::size_t>(channel);
    return index < channel_bytes_.size() ? channel_bytes_[index] : 0;
}

void record_store::store(std::int32_t channel_index, const program_t& program) {
    record_.clear();
    append_program_record(record_, program, stamps_);
    spill_.write(record_.data(), record_.size());
    if (spill_.error() != 0) {
        fail(spill_.error());
        throw spill_failure(failure());
    }

    const auto channel = static_cast<std::uint32_t>(channel_index);
    if (channel >= channel_bytes_.size()) channel_bytes_.resize(channel + std::size_t{1}, 0);
    channel_bytes_[channel] += record_.size();
    // A record is at most 11 strings of 65,537 bytes: a run never overflows
    // by more than one record, so it is closed a record early.
    const auto bytes = static_cast<std::uint32_t>(record_.size());
    if (!runs_.empty() && runs_.back().channel == channel && runs_.back().bytes <= UINT32_MAX - bytes)
        runs_.back().bytes += bytes;
    else
        runs_.push_back({channel, bytes});
    // A big field's record is not kept in memory once spilled.
    if (record_.capacity() > block_size) std::string().swap(record_);
}

void record_store::start_reading() {
    reading_ = true;
    if (!spill_.flush()) fail(spill_.error());
    std::uint64_t spilled = 0;
    for (const std::uint64_t bytes : channel_bytes_) spilled += bytes;
    block_capacity_ = static_cast<std::size_t>(std::min<std::uint64_t>(spilled, block_size));
    block_ = std::make_unique_for_overwrite<char[]>(block_capacity_);
}

template <typename Sink>
void record_store::read_spill(std::uint64_t offset, std::uint64_t size, Sink sink) {
    while (size > 0 && error_ == 0) {
        const std::uint64_t start = offset / block_capacity_ * block_capacity_;
        if (start != block_start_) {
            block_start_ = start;
            block_size_ = 0;
            while (block_size_ < block_capacity_) {
                const ssize_t got = ::pread(spill_fd_, block_.get() + block_size_, block_capacity_ - block_size_,
                                            static_cast<off_t>(start + block_size_));
                if (got < 0 && errno == EINTR) continue;
                if (got < 0) fail(errno);
                if (got <= 0) break;
                block_size_ += static_cast<std::size_t>(got);
            }
        }
        const std::size_t within = static_cast<std::size_t>(offset - start);
        if (within >= block_size_) {
            fail(EIO); // the spill is shorter than what was written to it
            block_start_ = UINT64_MAX;
            return;
        }
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, block_size_ - within));
        sink(block_.get() + within, piece);
        offset += piece;
        size -= piece;
    }
}

void record_store::load_group(std::int32_t first) {
    group_first_ = first;
    if (bytes_of(first) > group_budget_) {
        streaming_ = true;
        group_end_ = first + 1;
        return;
    }
    streaming_ = false;
    std::uint64_t total = 0;
    std::int32_t end = first;
    const auto known = static_cast<std::int32_t>(channel_bytes_.size());
    while (end < known && total + bytes_of(end) <= group_budget_) total += bytes_of(end++);
    // Channels past the last one with programmes have none: all in this group.
    group_end_ = end == known ? INT32_MAX : end;

    group_offsets_.assign(1, 0);
    for (std::int32_t c = first; c < end; ++c) group_offsets_.push_back(group_offsets_.back() + bytes_of(c));
    group_bytes_.resize(total);
    std::vector<std::uint64_t> filled(group_offsets_.begin(), group_offsets_.end() - 1);
    std::uint64_t offset = 0;
    for (const run& r : runs_) {
        const auto channel = static_cast<std::int32_t>(r.channel);
        if (channel >= first && channel < end) {
            std::uint64_t& at = filled[static_cast<std::size_t>(channel - first)];
            read_spill(offset, r.bytes, [&](const char* bytes, std::size_t size) {
                std::memcpy(group_bytes_.data() + at, bytes, size);
                at += size;
            });
        }
        offset += r.bytes;
    }
}

void record_store::stream_channel(std::int32_t channel, output_file& out) {
    std::uint64_t offset = 0;
    for (const run& r : runs_) {
        if (static_cast<std::int32_t>(r.channel) == channel)
            read_spill(offset, r.bytes, [&](const char* bytes, std::size_t size) { out.write(bytes, size); });
        offset += r.bytes;
    }
}

void record_store::copy_channel_records(std::int32_t channel_index, output_file& out) {
    if (!reading_) start_reading();
    if (bytes_of(channel_index) == 0 || failed()) return;
    if (channel_index >= group_end_ || channel_index < group_first_) load_group(channel_index);
    if (streaming_) {
        stream_channel(channel_index, out);
        return;
    }
    const auto at = static_cast<std::size_t>(channel_index - group_first_);
    out.write(group_bytes_.data() + group_offsets_[at], group_offsets_[at + 1] - group_offsets_[at]);
}
