#include "cli/read_listings.hpp"

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

listing_read read_listings(const std::vector<const char*>& paths, listing_filter& filter) {
    listing_read all{true, false};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) filter.declared_earlier(ids_in_model());
        const listing_read read = parse_xml_file(paths[i], reading_plan::for_this_process(), &filter);
        all.complete = all.complete && read.complete;
        all.any_node = all.any_node || read.any_node;
    }
    return all;
}
