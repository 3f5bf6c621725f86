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

} // namespace

listings_read read_listings(const std::vector<const char*>& paths, const reading_plan& plan, listing_filter& filter) {
    listings_read all;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) filter.declared_earlier(ids_in_model());
        const listing_read read = parse_xml_file(paths[i], plan, &filter);
        all.complete = all.complete && read.complete;
        if (read.any_node) ++all.with_nodes;
    }
    return all;
}
