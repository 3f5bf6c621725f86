#include "guide/record_store.hpp"

#include "common/xmltv_time.hpp"
#include "replace/temporary_files.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <queue>
#include <span>
#include <stdexcept>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// A big record is not kept once gathered, and the pieces of a channel merged
// by start instant are read in blocks of at most this size.
constexpr std::size_t stream_block_size = std::size_t{1} << 20;
// Each piece of a channel merged by start instant gets a block of its share
// of half the budget, at least this much (and at most stream_block_size).
constexpr std::size_t smallest_merge_block = std::size_t{16} << 10;

// A channel whose pieces are this big on average is copied by the kernel
// straight from the spill; one in smaller pieces is read with others.
constexpr std::uint64_t kernel_copy_size = std::uint64_t{64} << 10;

// Offsets among the gathered records are 32 bits: the budget stays well
// below 4 GiB, with room for a record beyond it.
constexpr std::uint64_t largest_budget = std::uint64_t{1} << 30;

// Before each gathered record: its size, the offset of the next record of
// its channel, and, ordered by start, its start instant.
constexpr std::size_t chain_header = 2 * sizeof(std::uint32_t);
constexpr std::size_t start_size = sizeof(std::int64_t);

// Before each spilled record, ordered by start: its start instant and size.
constexpr std::size_t entry_header = start_size + sizeof(std::uint32_t);

// Where a start that cannot be read sorts: after every instant there is.
constexpr std::int64_t unreadable_start = INT64_MAX;

std::uint32_t load_u32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::int64_t load_i64(const char* at) {
    std::int64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void store_u32(char* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

std::int64_t start_instant(const program_t& program) {
    const text_field& start = program[program_field::start];
    const auto instant = start ? read_xmltv_time(*start) : std::nullopt;
    return instant ? instant->time_since_epoch().count() : unreadable_start;
}

// One spilled entry held in memory.
struct entry_at {
    std::int64_t start;
    std::uint64_t offset; // of the record
    std::uint32_t size;
};

} // namespace

// The entries of one piece, in spill order, read a block at a time.
class record_store::entry_stream {
public:
    entry_stream(record_store& store, const piece& from, std::size_t block_size)
        : store_(store), offset_(from.offset), end_(from.offset + from.bytes), buffer_(block_size) {}

    // Steps to the next entry; false at the end, or when the spill fails.
    bool next() {
        if (offset_ == end_ && at_ == size_) return false;
        if (!fill(entry_header)) return false;
        start_ = load_i64(buffer_.data() + at_);
        const std::uint32_t size = load_u32(buffer_.data() + at_ + start_size);
        at_ += entry_header;
        if (!fill(size)) return false;
        record_ = std::string_view(buffer_.data() + at_, size);
        at_ += size;
        return true;
    }

    std::int64_t start() const { return start_; }
    std::string_view record() const { return record_; }

private:
    // At least `need` bytes from at_ in the buffer; false when the piece or
    // the spill ends first.
    bool fill(std::size_t need) {
        if (size_ - at_ >= need) return true;
        std::memmove(buffer_.data(), buffer_.data() + at_, size_ - at_);
        size_ -= at_;
        at_ = 0;
        if (buffer_.size() < need) buffer_.resize(need);
        const std::size_t wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(buffer_.size() - size_, end_ - offset_));
        iovec part{buffer_.data() + size_, wanted};
        store_.read_into(&part, 1, offset_);
        offset_ += wanted;
        size_ += wanted;
        if (size_ < need && !store_.failed()) store_.fail(EIO); // an entry cut short: a damaged spill
        return !store_.failed();
    }

    record_store& store_;
    std::uint64_t offset_;
    std::uint64_t end_;
    std::vector<char> buffer_;
    std::size_t at_ = 0;
    std::size_t size_ = 0;
    std::int64_t start_ = 0;
    std::string_view record_;
};

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
      budget_(std::clamp<std::uint64_t>(group_budget, 1, largest_budget)), gathered_header_(chain_header) {}

void record_store::fail(int error) {
    if (error_ == 0) error_ = error;
}

std::string record_store::failure() const { return temporary_file_failure(folder_, error_); }

std::uint64_t record_store::bytes_of(std::int32_t channel) const {
    const auto index = static_cast<std::size_t>(channel);
    return index < channel_bytes_.size() ? channel_bytes_[index] : 0;
}

void record_store::order_by_start() {
    if (!gathered_.empty() || !pieces_.empty()) throw std::logic_error("order_by_start after store");
    by_start_ = true;
    gathered_header_ = chain_header + start_size;
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
    channel_bytes_[channel] += record_.size() + (by_start_ ? entry_header : 0);
    gather(channel, record_, by_start_ ? start_instant(program) : 0);
    if (spill_.error() != 0) {
        fail(spill_.error());
        throw spill_failure(failure());
    }
    // A big field's record is not kept in memory once gathered.
    if (record_.capacity() > stream_block_size) std::string().swap(record_);
}

void record_store::gather(std::uint32_t channel, const std::string& record, std::int64_t start) {
    if (!gathered_.empty() && gathered_.size() + gathered_header_ + record.size() > budget_) spill_gathered();
    if (gathered_.capacity() == 0) gathered_.reserve(budget_);
    const auto at = static_cast<std::uint32_t>(gathered_.size());
    char header[chain_header + start_size];
    store_u32(header, static_cast<std::uint32_t>(record.size()));
    store_u32(header + sizeof(std::uint32_t), no_record);
    std::memcpy(header + chain_header, &start, start_size);
    gathered_.insert(gathered_.end(), header, header + gathered_header_);
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
// channel, each channel's in order of arrival (or of start instant).
void record_store::spill_gathered() {
    std::sort(gathered_channels_.begin(), gathered_channels_.end());
    for (const std::uint32_t channel : gathered_channels_) spill_channel(channel);
    gathered_channels_.clear();
    gathered_.clear();
}

void record_store::spill_channel(std::uint32_t channel) {
    const std::uint64_t offset = counts_.written;
    channel_records_.clear();
    for (std::uint32_t at = chains_[channel].first; at != no_record;
         at = load_u32(gathered_.data() + at + sizeof(std::uint32_t)))
        channel_records_.push_back(at);
    chains_[channel] = chain{};
    const auto start_of = [this](std::uint32_t at) { return load_i64(gathered_.data() + at + chain_header); };
    const auto earlier = [&start_of](std::uint32_t a, std::uint32_t b) { return start_of(a) < start_of(b); };
    if (by_start_ && !std::is_sorted(channel_records_.begin(), channel_records_.end(), earlier))
        std::stable_sort(channel_records_.begin(), channel_records_.end(), earlier);
    std::uint64_t bytes = 0;
    for (const std::uint32_t at : channel_records_) {
        const std::uint32_t size = load_u32(gathered_.data() + at);
        if (by_start_) {
            // The start instant, then the size, as they lie in the gathered header.
            spill_.write(gathered_.data() + at + chain_header, start_size);
            spill_.write(gathered_.data() + at, sizeof size);
            bytes += entry_header;
        }
        spill_.write(gathered_.data() + at + gathered_header_, size);
        bytes += size;
    }
    pieces_.push_back({channel, static_cast<std::uint32_t>(bytes), offset});
    counts_.written += bytes;
}

void record_store::read_back_in(std::vector<std::int32_t> order) {
    if (reading_) throw std::logic_error("read_back_in after reading started");
    order_ = std::move(order);
    order_given_ = true;
}

void record_store::start_reading() {
    reading_ = true;
    if (!gathered_.empty()) spill_gathered();
    std::vector<char>().swap(gathered_);
    std::vector<chain>().swap(chains_);
    std::vector<std::uint32_t>().swap(channel_records_);
    if (!spill_.flush()) fail(spill_.error());
    index_pieces();
    if (order_given_) return;
    order_.resize(channel_bytes_.size());
    std::iota(order_.begin(), order_.end(), 0);
}

// Each channel's pieces, in the order of the segments that hold them.
void record_store::index_pieces() {
    channel_pieces_.assign(channel_bytes_.size() + 1, 0);
    for (const piece& p : pieces_) ++channel_pieces_[p.channel + std::size_t{1}];
    std::partial_sum(channel_pieces_.begin(), channel_pieces_.end(), channel_pieces_.begin());
    piece_list_.resize(pieces_.size());
    std::vector<std::size_t> filled(channel_pieces_.begin(), channel_pieces_.end() - 1);
    for (const piece& p : pieces_) piece_list_[filled[p.channel]++] = &p;
}

std::span<const record_store::piece* const> record_store::pieces_of(std::int32_t channel) const {
    const auto index = static_cast<std::size_t>(channel);
    if (index + 1 >= channel_pieces_.size()) return {};
    return {piece_list_.data() + channel_pieces_[index], channel_pieces_[index + 1] - channel_pieces_[index]};
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

// Where `channel` stands in the order of reading back: at or after the last
// channel asked for.
std::size_t record_store::position_of(std::int32_t channel) {
    while (next_ < order_.size() && order_[next_] != channel) ++next_;
    if (next_ == order_.size()) throw std::logic_error("channel records asked for out of order");
    return next_;
}

// The pieces of the group's channels, each into its channel's place in the
// group: one read for each run of pieces that lie side by side in the spill,
// so one read a segment when the group is in channel order.
void record_store::read_group_pieces(std::vector<std::uint64_t>& filled) {
    struct wanted {
        const piece* from;
        char* into;
    };
    std::vector<wanted> pieces;
    for (std::size_t p = group_first_; p < group_end_; ++p) {
        std::uint64_t& at = filled[p - group_first_];
        for (const piece* found : pieces_of(order_[p])) {
            pieces.push_back({found, group_bytes_.data() + at});
            at += found->bytes;
        }
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const wanted& a, const wanted& b) { return a.from->offset < b.from->offset; });
    std::vector<iovec> parts;
    for (std::size_t i = 0; i < pieces.size();) {
        const std::uint64_t start = pieces[i].from->offset;
        std::uint64_t end = start;
        parts.clear();
        for (; i < pieces.size() && pieces[i].from->offset == end && parts.size() < IOV_MAX; ++i) {
            parts.push_back({pieces[i].into, pieces[i].from->bytes});
            end += pieces[i].from->bytes;
        }
        read_into(parts.data(), static_cast<int>(parts.size()), start);
    }
}

void record_store::load_group(std::size_t first) {
    group_first_ = first;
    if (bytes_of(order_[first]) > budget_) {
        streaming_ = true;
        group_end_ = first + 1;
        return;
    }
    streaming_ = false;
    std::uint64_t total = 0;
    std::size_t end = first;
    while (end < order_.size() && total + bytes_of(order_[end]) <= budget_) total += bytes_of(order_[end++]);
    group_end_ = end;

    group_offsets_.assign(1, 0);
    for (std::size_t p = first; p < end; ++p) group_offsets_.push_back(group_offsets_.back() + bytes_of(order_[p]));
    group_bytes_.resize(total);
    std::vector<std::uint64_t> filled(group_offsets_.begin(), group_offsets_.end() - 1);
    read_group_pieces(filled);
}

// A channel's entries, its pieces one after the other in segment order, each
// piece in start order: written in start order, ties in segment order.
void record_store::write_in_start_order(const char* entries, std::uint64_t size, output_file& out) {
    std::vector<entry_at> index;
    for (std::uint64_t at = 0; at < size;) {
        const std::uint32_t record_size = load_u32(entries + at + start_size);
        index.push_back({load_i64(entries + at), at + entry_header, record_size});
        at += entry_header + record_size;
    }
    const auto earlier = [](const entry_at& a, const entry_at& b) { return a.start < b.start; };
    if (!std::is_sorted(index.begin(), index.end(), earlier)) std::stable_sort(index.begin(), index.end(), earlier);
    for (const entry_at& entry : index) out.write(entries + entry.offset, entry.size);
}

// In order of attachment, a channel's records lie side by side in each
// segment: the kernel copies them into the guide, piece by piece.
void record_store::copy_pieces(std::int32_t channel, output_file& out) {
    for (const piece* found : pieces_of(channel)) {
        if (failed()) return;
        if (!out.copy_from(spill_fd_, found->offset, found->bytes)) {
            fail(errno);
            return;
        }
        ++counts_.reads;
        counts_.read_back += found->bytes;
    }
}

// A channel too big to hold at once, ordered by start: its pieces, each in
// start order, are merged as they are read, ties in segment order.
void record_store::merge_channel(std::int32_t channel, output_file& out) {
    const std::span<const piece* const> found = pieces_of(channel);
    const std::size_t block = std::max<std::size_t>(smallest_merge_block, budget_ / (2 * found.size()));
    std::vector<entry_stream> streams;
    streams.reserve(found.size());
    using head = std::pair<std::int64_t, std::size_t>; // start, stream
    std::priority_queue<head, std::vector<head>, std::greater<>> heads;
    for (const piece* p : found) {
        streams.emplace_back(*this, *p, std::min(block, stream_block_size));
        if (streams.back().next()) heads.push({streams.back().start(), streams.size() - 1});
    }
    while (!heads.empty() && !failed()) {
        entry_stream& stream = streams[heads.top().second];
        const std::size_t index = heads.top().second;
        heads.pop();
        out.write(stream.record().data(), stream.record().size());
        if (stream.next()) heads.push({stream.start(), index});
    }
}

void record_store::copy_channel_records(std::int32_t channel_index, output_file& out) {
    if (!reading_) start_reading();
    if (bytes_of(channel_index) == 0 || failed()) return;
    const std::size_t position = position_of(channel_index);
    if (position >= group_end_ || position < group_first_) {
        // A channel in big pieces is copied by the kernel, without going
        // through memory; small pieces (a listing in time order) are read a
        // group at a time, in few reads.
        if (!by_start_ && bytes_of(channel_index) >= kernel_copy_size * pieces_of(channel_index).size())
            return copy_pieces(channel_index, out);
        load_group(position);
    }
    if (streaming_) return by_start_ ? merge_channel(channel_index, out) : copy_pieces(channel_index, out);
    const std::size_t at = position - group_first_;
    const char* bytes = group_bytes_.data() + group_offsets_[at];
    const std::uint64_t size = group_offsets_[at + 1] - group_offsets_[at];
    // Ordered by start, a channel's pieces are sorted into one, in memory.
    if (by_start_) write_in_start_order(bytes, size, out);
    else out.write(bytes, size);
}
