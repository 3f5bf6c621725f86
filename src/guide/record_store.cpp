#include "guide/record_store.hpp"

#include "replace/temporary_files.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// A channel streamed on its own is read back in pieces of at most this size.
constexpr std::size_t stream_block_size = std::size_t{1} << 20;

// Offsets among the gathered records are 32 bits: the budget stays well
// below 4 GiB, with room for a record beyond it.
constexpr std::uint64_t largest_budget = std::uint64_t{1} << 30;

// Before each gathered record: its size, then the offset of the next record
// of its channel.
constexpr std::size_t record_header = 2 * sizeof(std::uint32_t);

std::uint32_t load_u32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void store_u32(char* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

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
    : spill_(spill_fd), spill_fd_(spill_fd), folder_(std::move(folder)),
      budget_(std::clamp<std::uint64_t>(group_budget, 1, largest_budget)) {}

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
    if (text_.active()) append_program_record(record_, program, stamps_, text_);
    else append_program_record(record_, program, stamps_);
    const auto channel = static_cast<std::uint32_t>(channel_index);
    if (channel >= channel_bytes_.size()) {
        channel_bytes_.resize(channel + std::size_t{1}, 0);
        chains_.resize(channel + std::size_t{1});
    }
    channel_bytes_[channel] += record_.size();
    gather(channel, record_);
    if (spill_.error() != 0) {
        fail(spill_.error());
        throw spill_failure(failure());
    }
    // A big field's record is not kept in memory once gathered.
    if (record_.capacity() > stream_block_size) std::string().swap(record_);
}

void record_store::gather(std::uint32_t channel, const std::string& record) {
    if (!gathered_.empty() && gathered_.size() + record_header + record.size() > budget_) spill_gathered();
    if (gathered_.capacity() == 0) gathered_.reserve(budget_);
    const auto at = static_cast<std::uint32_t>(gathered_.size());
    char header[record_header];
    store_u32(header, static_cast<std::uint32_t>(record.size()));
    store_u32(header + sizeof(std::uint32_t), no_record);
    gathered_.insert(gathered_.end(), header, header + record_header);
    gathered_.insert(gathered_.end(), record.begin(), record.end());

    chain& records = chains_[channel];
    if (records.first == no_record) {
        records.first = at;
        gathered_channels_.push_back(channel);
    } else {
        store_u32(gathered_.data() + records.last + sizeof(std::uint32_t), at);
    }
    records.last = at;
}

// The gathered records go to the spill as one segment: channel after
// channel, each channel's in order of arrival.
void record_store::spill_gathered() {
    std::sort(gathered_channels_.begin(), gathered_channels_.end());
    for (const std::uint32_t channel : gathered_channels_) {
        std::uint64_t bytes = 0;
        for (std::uint32_t at = chains_[channel].first; at != no_record;
             at = load_u32(gathered_.data() + at + sizeof(std::uint32_t))) {
            const std::uint32_t size = load_u32(gathered_.data() + at);
            spill_.write(gathered_.data() + at + record_header, size);
            bytes += size;
        }
        pieces_.push_back({channel, static_cast<std::uint32_t>(bytes)});
        counts_.written += bytes;
        chains_[channel] = chain{};
    }
    segment_starts_.push_back(pieces_.size() - gathered_channels_.size());
    gathered_channels_.clear();
    gathered_.clear();
}

void record_store::start_reading() {
    reading_ = true;
    if (!gathered_.empty()) spill_gathered();
    std::vector<char>().swap(gathered_);
    std::vector<chain>().swap(chains_);
    if (!spill_.flush()) fail(spill_.error());

    std::uint64_t offset = 0;
    for (std::size_t s = 0; s < segment_starts_.size(); ++s) {
        const std::size_t end = s + 1 < segment_starts_.size() ? segment_starts_[s + 1] : pieces_.size();
        cursors_.push_back({segment_starts_[s], end, offset});
        for (std::size_t p = segment_starts_[s]; p < end; ++p) offset += pieces_[p].bytes;
    }
}

// Reads the spill at `offset` into the parts; fails the store when it ends
// before they are full.
void record_store::read_into(struct iovec* parts, int count, std::uint64_t offset) {
    while (count > 0 && !failed()) {
        const ssize_t got = ::preadv(spill_fd_, parts, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            fail(got < 0 ? errno : EIO); // EIO: the spill is shorter than what was written to it
            return;
        }
        ++counts_.reads;
        counts_.read_back += static_cast<std::uint64_t>(got);
        offset += static_cast<std::uint64_t>(got);
        auto left = static_cast<std::size_t>(got);
        while (count > 0 && left >= parts->iov_len) {
            left -= parts->iov_len;
            ++parts;
            --count;
        }
        if (count > 0) {
            parts->iov_base = static_cast<char*>(parts->iov_base) + left;
            parts->iov_len -= left;
        }
    }
}

// Pieces of channels never asked for are passed over.
void record_store::skip_pieces_before(segment_cursor& cursor, std::int32_t channel) {
    for (; cursor.piece < cursor.end && static_cast<std::int32_t>(pieces_[cursor.piece].channel) < channel;
         ++cursor.piece)
        cursor.offset += pieces_[cursor.piece].bytes;
}

// The segment's pieces of the group, side by side in the spill, each into
// its channel's place in the group: one read.
void record_store::read_group_pieces(segment_cursor& cursor, std::vector<std::uint64_t>& filled) {
    skip_pieces_before(cursor, group_first_);
    std::vector<iovec> parts;
    const std::uint64_t start = cursor.offset;
    for (; cursor.piece < cursor.end && static_cast<std::int32_t>(pieces_[cursor.piece].channel) < group_end_;
         ++cursor.piece) {
        const piece& p = pieces_[cursor.piece];
        std::uint64_t& at = filled[p.channel - static_cast<std::uint32_t>(group_first_)];
        parts.push_back({group_bytes_.data() + at, p.bytes});
        at += p.bytes;
        cursor.offset += p.bytes;
    }
    std::uint64_t offset = start;
    for (std::size_t done = 0; done < parts.size();) {
        const std::size_t count = std::min<std::size_t>(parts.size() - done, IOV_MAX);
        std::uint64_t bytes = 0;
        for (std::size_t i = done; i < done + count; ++i) bytes += parts[i].iov_len;
        read_into(parts.data() + done, static_cast<int>(count), offset);
        offset += bytes;
        done += count;
    }
}

void record_store::load_group(std::int32_t first) {
    group_first_ = first;
    if (bytes_of(first) > budget_) {
        streaming_ = true;
        group_end_ = first + 1;
        return;
    }
    streaming_ = false;
    std::uint64_t total = 0;
    std::int32_t end = first;
    const auto known = static_cast<std::int32_t>(channel_bytes_.size());
    while (end < known && total + bytes_of(end) <= budget_) total += bytes_of(end++);
    // Channels past the last one with programmes have none: all in this group.
    group_end_ = end == known ? INT32_MAX : end;

    group_offsets_.assign(1, 0);
    for (std::int32_t c = first; c < end; ++c) group_offsets_.push_back(group_offsets_.back() + bytes_of(c));
    group_bytes_.resize(total);
    std::vector<std::uint64_t> filled(group_offsets_.begin(), group_offsets_.end() - 1);
    for (segment_cursor& cursor : cursors_) read_group_pieces(cursor, filled);
}

void record_store::stream_pieces(segment_cursor& cursor, std::int32_t channel, output_file& out) {
    skip_pieces_before(cursor, channel);
    if (cursor.piece == cursor.end || static_cast<std::int32_t>(pieces_[cursor.piece].channel) != channel) return;
    std::uint64_t left = pieces_[cursor.piece].bytes;
    cursor.offset += left;
    ++cursor.piece;
    group_bytes_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, stream_block_size)));
    for (std::uint64_t at = cursor.offset - left; left > 0 && !failed();) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(left, group_bytes_.size()));
        iovec part{group_bytes_.data(), size};
        read_into(&part, 1, at);
        if (!failed()) out.write(group_bytes_.data(), size);
        at += size;
        left -= size;
    }
}

void record_store::stream_channel(std::int32_t channel, output_file& out) {
    for (segment_cursor& cursor : cursors_) stream_pieces(cursor, channel, out);
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
