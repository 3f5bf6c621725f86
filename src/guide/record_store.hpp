// The programmes attached while the listing is read, kept as the records the
// guide will hold (guide_record.hpp) in a spill file rather than in memory,
// so that memory stays flat whatever the listing's size.
//
// Records gather in memory, each channel's chained in order, up to a budget;
// then they go to the spill as one segment, channel after channel. Reading
// back takes channels in groups: from each segment, one read brings the
// group's records, which lie side by side there. Every record is so read
// once, in whatever order the channels' programmes arrived.
#pragma once

#include "guide/guide_model.hpp"
#include "guide/guide_record.hpp"
#include "guide/text_conversion.hpp"
#include "replace/output_file.hpp"

#include <cstdint>
#include <memory>
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

    // How the guide's strings, the channels' too, are transliterated and
    // counted; as fix_utf8 alone converts them by default.
    void convert_text_with(text_conversion text) { text_ = std::move(text); }
    text_conversion& text() { return text_; }

    // Throws spill_failure when the spill cannot be written.
    void store(std::int32_t channel_index, const program_t& program) override;

    // Writes the records of channel `channel_index` to `out`, in order of
    // attachment. Channels are asked for in increasing order, each once.
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
    };
    // A segment's pieces not read back yet: the next one, and its offset.
    struct segment_cursor {
        std::size_t piece;
        std::size_t end;
        std::uint64_t offset;
    };
    static constexpr std::uint32_t no_record = UINT32_MAX;
    // A channel's records in memory: offsets of its first and last.
    struct chain {
        std::uint32_t first = no_record;
        std::uint32_t last = no_record;
    };

    std::uint64_t bytes_of(std::int32_t channel) const;
    void gather(std::uint32_t channel, const std::string& record);
    void spill_gathered();
    void start_reading();
    void load_group(std::int32_t first);
    void stream_channel(std::int32_t channel, output_file& out);
    void read_group_pieces(segment_cursor& cursor, std::vector<std::uint64_t>& filled);
    void stream_pieces(segment_cursor& cursor, std::int32_t channel, output_file& out);
    void skip_pieces_before(segment_cursor& cursor, std::int32_t channel);
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
    spill_counts counts_;

    // Gathering: records, each after its size and the offset of its
    // channel's next; the channels among them, in order of first arrival.
    std::vector<char> gathered_;
    std::vector<chain> chains_;
    std::vector<std::uint32_t> gathered_channels_;

    // The spill's layout: every segment's pieces in channel order, segment
    // after segment, and where each segment's pieces begin.
    std::vector<piece> pieces_;
    std::vector<std::size_t> segment_starts_;

    // Reading back: the channels [group_first_, group_end_) are loaded at
    // once in group_bytes_, or a channel too big for that is streamed.
    std::vector<segment_cursor> cursors_;
    std::int32_t group_first_ = 0;
    std::int32_t group_end_ = 0;
    bool streaming_ = false;
    std::vector<char> group_bytes_;
    std::vector<std::uint64_t> group_offsets_;
};
