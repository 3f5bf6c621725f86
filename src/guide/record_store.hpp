// The programmes attached while the listing is read, kept as the records the
// guide will hold (guide_record.hpp) in a spill file rather than in memory,
// so that memory stays flat whatever the listing's size.
//
// Records gather in memory, each channel's chained in order, up to a budget;
// then they go to the spill as one segment, channel after channel. Read back,
// a channel's records lie side by side in each segment: when those pieces
// are big, the kernel copies them from the spill into the guide; when they
// are small (a listing in time order), channels are read back in groups,
// from each segment the group's records in one read, and, ordered by start,
// sorted in memory. Every record is so read once, in whatever order the
// channels' programmes arrived.
#pragma once

#include "guide/guide_model.hpp"
#include "guide/guide_record.hpp"
#include "guide/text_conversion.hpp"
#include "replace/output_file.hpp"

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// The spill could not be written: the guide could not hold every programme,
// so reading stops. what() is "temporary file in FOLDER: CAUSE".
class spill_failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class record_store final : public program_store {
public:
    // A store spilling to a new file that has no name, so that it never
    // outlives the run, in the first of `folders` (temporary_files.hpp) that
    // takes one. Null, after saying why on standard error, when none does.
    static std::unique_ptr<record_store> create_in(const std::vector<std::string>& folders);

    // The memory records take: gathered before they are spilled, and again
    // as a group of channels read back.
    static constexpr std::uint64_t default_group_budget = std::uint64_t{8} << 20;

    // Takes over `spill_fd`, an empty file open for reading and writing, in
    // `folder` (named in messages).
    explicit record_store(int spill_fd, std::uint64_t group_budget = default_group_budget,
                          std::string folder = "?");

    // How start and stop times are written; cut to the minute by default.
    void convert_stamps_with(stamp_converter stamps) { stamps_ = std::move(stamps); }
    // How many start or stop times the zone conversion could not read.
    std::uint64_t unreadable_times() const { return stamps_.unreadable(); }

    // From now on, before anything is stored: each channel's records come
    // back in the order of their start instant (the XMLTV time with its
    // offset), equal instants in order of attachment, and those whose start
    // cannot be read after the others, in order of attachment. By default
    // they come back in order of attachment.
    void order_by_start();

    // How the guide's strings, the channels' too, are transliterated and
    // counted; as fix_utf8 alone converts them by default.
    void convert_text_with(text_conversion text) { text_ = std::move(text); }
    text_conversion& text() { return text_; }

    // Throws spill_failure when the spill cannot be written.
    void store(std::int32_t channel_index, const program_t& program) override;

    // The channels are asked for in this order of their positions, each at
    // most once; by default in increasing order. Given before the first copy.
    void read_back_in(std::vector<std::int32_t> order);

    // Writes the records of channel `channel_index` to `out`.
    void copy_channel_records(std::int32_t channel_index, output_file& out);

    // True once the spill could not be written or read back: the records
    // written are then incomplete.
    bool failed() const { return error_ != 0; }
    // Where and why: "temporary file in FOLDER: CAUSE".
    std::string failure() const;

    // What went through the spill, for the benchmark.
    struct spill_counts {
        std::uint64_t written = 0;   // bytes
        std::uint64_t read_back = 0; // bytes
        std::uint64_t reads = 0;     // system calls
    };
    const spill_counts& counts() const { return counts_; }

private:
    // Where one channel's records lie in a segment.
    struct piece {
        std::uint32_t channel;
        std::uint32_t bytes;
        std::uint64_t offset;
    };
    static constexpr std::uint32_t no_record = UINT32_MAX;
    // A channel's records in memory: offsets of its first and last.
    struct chain {
        std::uint32_t first = no_record;
        std::uint32_t last = no_record;
    };
    class entry_stream;

    std::uint64_t bytes_of(std::int32_t channel) const;
    void gather(std::uint32_t channel, const std::string& record, std::int64_t start);
    void spill_gathered();
    void spill_channel(std::uint32_t channel);
    void start_reading();
    std::size_t position_of(std::int32_t channel);
    void load_group(std::size_t first);
    void index_pieces();
    std::span<const piece* const> pieces_of(std::int32_t channel) const;
    void read_group_pieces(std::vector<std::uint64_t>& filled);
    void write_in_start_order(const char* entries, std::uint64_t size, output_file& out);
    void copy_pieces(std::int32_t channel, output_file& out);
    void merge_channel(std::int32_t channel, output_file& out);
    void read_into(struct iovec* parts, int count, std::uint64_t offset);
    void fail(int error);

    output_file spill_;
    int spill_fd_;
    std::string folder_;
    std::uint64_t budget_;
    std::string record_;
    stamp_converter stamps_;
    text_conversion text_;
    std::vector<std::uint64_t> channel_bytes_;
    int error_ = 0;
    bool reading_ = false;
    // Records spilled as entries: their start instant, size, then the record.
    bool by_start_ = false;
    spill_counts counts_;

    // Gathering: records, each after its size, the offset of its channel's
    // next (and its start instant when ordered by start); the channels among
    // them, in order of first arrival.
    std::size_t gathered_header_;
    std::vector<char> gathered_;
    std::vector<chain> chains_;
    std::vector<std::uint32_t> gathered_channels_;
    std::vector<std::uint32_t> channel_records_; // scratch: one channel's records

    // The spill's layout: every segment's pieces in channel order, segment
    // after segment; read back, each channel's pieces, in segment order, are
    // piece_list_[channel_pieces_[c] .. channel_pieces_[c + 1]).
    std::vector<piece> pieces_;
    std::vector<std::size_t> channel_pieces_;
    std::vector<const piece*> piece_list_;

    // Reading back, ordered by start: the channels at positions
    // [group_first_, group_end_) of order_ are loaded at once in
    // group_bytes_, or a channel too big for that is merged as it is read;
    // next_ is where the next channel asked for is looked for in order_.
    std::vector<std::int32_t> order_;
    bool order_given_ = false;
    std::size_t next_ = 0;
    std::size_t group_first_ = 0;
    std::size_t group_end_ = 0;
    bool streaming_ = false;
    std::vector<char> group_bytes_;
    std::vector<std::uint64_t> group_offsets_;
};
