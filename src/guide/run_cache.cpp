#include "guide/run_cache.hpp"

#include <utility>

namespace {

// What a table entry costs besides its strings: the node, its hash, the
// bucket, and the strings' own headers.
constexpr std::size_t entry_overhead = 96;

} // namespace

std::size_t run_cache::cost(std::string_view run, const result& value) {
    return run.size() + value.text.size() + entry_overhead;
}

std::uint64_t run_cache::packed(std::string_view run) {
    // Byte by byte, the first lowest, so that the key is the same on every
    // byte order and the size's byte never covers one of the run's.
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < run.size(); ++i)
        bytes |= std::uint64_t{static_cast<unsigned char>(run[i])} << (8 * (i + 1));
    return bytes | run.size();
}

const run_cache::result* run_cache::find(std::string_view run) {
    if (run.size() > shortest_runs) return find_in_generations(run);
    const std::uint64_t key = packed(run);
    short_entry& entry = short_runs_[(key * 0x9E3779B97F4A7C15ULL) >> 56];
    if (entry.run == key) return entry.value;
    const result* value = find_in_generations(run);
    if (value != nullptr) entry = {key, value};
    return value;
}

// Results move between generations as whole nodes: their addresses stay.
const run_cache::result* run_cache::find_in_generations(std::string_view run) {
    if (const auto found = newer_.find(run); found != newer_.end()) return &found->second;
    const auto found = older_.find(run);
    if (found == older_.end()) return nullptr;
    const std::size_t bytes = cost(run, found->second);
    auto entry = older_.extract(found);
    older_bytes_ -= bytes;
    newer_bytes_ += bytes;
    return &newer_.insert(std::move(entry)).position->second;
}

const run_cache::result& run_cache::add(std::string_view run, result value) {
    if (run.size() > longest_kept_run) {
        unkept_ = std::move(value);
        return unkept_;
    }
    const std::size_t bytes = cost(run, value);
    if (newer_bytes_ + bytes > generation_bytes_) {
        short_runs_.fill({}); // some point into the older generation, dropped now
        older_ = std::move(newer_);
        older_bytes_ = newer_bytes_;
        newer_ = generation();
        newer_bytes_ = 0;
    }
    newer_bytes_ += bytes;
    return newer_.emplace(std::string(run), std::move(value)).first->second;
}
