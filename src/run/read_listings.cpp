#include "run/read_listings.hpp"

#include "guide/guide_model.hpp"

namespace {

// Taken between listings, while no events are being applied.
channel_ids ids_in_model() {
    channel_ids ids;
    for (const channel_t& channel : prg_file.channels)
        if (channel.id) ids.insert(*channel.id);
    return ids;
}

// What a listing attached joins what earlier ones did, by channel id: a
// channel that has an attached programme has an id.
void add_attached(std::vector<span_union> by_position, spans_by_channel& attached) {
    for (std::size_t i = 0; i < by_position.size(); ++i)
        if (!by_position[i].empty()) attached[*prg_file.channels[i].id].add(std::move(by_position[i]));
}

} // namespace

listing_sequence::listing_sequence(std::size_t count, listing_filter& filter, program_store* records)
    : count_(count), filter_(filter), records_(records), recorder_(records) {}

void listing_sequence::before(std::size_t index) {
    if (index > 0) filter_.declared_earlier(ids_in_model());
    // What a listing attaches is looked at by the listings after it only.
    keep_programs_in(index + 1 == count_ ? records_ : &recorder_);
}

void listing_sequence::after(std::size_t index) {
    if (index + 1 < count_) add_attached(recorder_.take(), filter_.attached_earlier());
}

listings_read read_listings(const std::vector<const char*>& paths, const reading_plan& plan, listing_filter& filter,
                            program_store* records) {
    listings_read all;
    listing_sequence sequence(paths.size(), filter, records);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        sequence.before(i);
        const listing_read read = parse_xml_file(paths[i], plan, &filter);
        sequence.after(i);
        all.complete = all.complete && read.complete;
        if (read.any_node) ++all.with_nodes;
    }
    return all;
}
