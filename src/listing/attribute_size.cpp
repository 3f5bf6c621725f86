#include "listing/attribute_size.hpp"

#include <libxml/entities.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

// libxml2 lets entities nest 40 deep, 1024 with XML_PARSE_HUGE: anything
// deeper is a loop, and counts as too long rather than overflowing the stack.
constexpr int max_entity_depth = 1024;

std::size_t text_size(const xmlChar* text) {
    return text == nullptr ? 0 : std::strlen(reinterpret_cast<const char*>(text));
}

// Walks a node list the way xmlNodeListGetString(doc, list, 1) expands it:
// texts and CDATA count as they are, an entity reference as its entity's
// children (its own content when the entity is unknown), other nodes as
// nothing. Sums stop at limit + 1.
class expansion_counter {
public:
    expansion_counter(const xmlDoc* doc, std::size_t limit) : doc_(doc), too_long_(limit + 1) {}

    std::size_t list_size(const xmlNode* list, int depth) {
        std::size_t size = 0;
        for (const xmlNode* node = list; node != nullptr && size < too_long_; node = node->next) {
            std::size_t part = 0;
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
                part = text_size(node->content);
            else if (node->type == XML_ENTITY_REF_NODE)
                part = reference_size(node, depth);
            size = std::min(size + std::min(part, too_long_), too_long_);
        }
        return size;
    }

private:
    std::size_t reference_size(const xmlNode* reference, int depth) {
        const xmlEntity* entity = xmlGetDocEntity(doc_, reference->name);
        if (entity == nullptr) return text_size(reference->content);
        if (const auto known = sizes_.find(entity); known != sizes_.end()) return known->second;
        const std::size_t size = depth >= max_entity_depth ? too_long_ : list_size(entity->children, depth + 1);
        sizes_.emplace(entity, size);
        return size;
    }

    const xmlDoc* doc_;
    std::size_t too_long_;
    // Each entity is counted once, however often and deeply it is referred to.
    std::unordered_map<const xmlEntity*, std::size_t> sizes_;
};

} // namespace

held_value held_value_of(const xmlAttr* attribute) {
    // A default from the DTD is a plain string.
    if (attribute->type == XML_ATTRIBUTE_DECL)
        return {true, reinterpret_cast<const xmlAttribute*>(attribute)->defaultValue};
    if (attribute->type != XML_ATTRIBUTE_NODE) return {true, nullptr};
    // No children: the empty string.
    static const xmlChar empty[] = "";
    const xmlNode* children = attribute->children;
    if (children == nullptr) return {true, empty};
    // The common case, one text node (or CDATA, which libxml2 treats alike):
    // nothing to expand.
    if (children->next == nullptr && (children->type == XML_TEXT_NODE || children->type == XML_CDATA_SECTION_NODE))
        return {true, children->content};
    return {false, nullptr};
}

std::size_t attribute_size(const xmlAttr* attribute, std::size_t limit) {
    if (const held_value held = held_value_of(attribute); held.whole) return std::min(text_size(held.text), limit + 1);
    return expansion_counter(attribute->doc, limit).list_size(attribute->children, 0);
}

std::size_t attribute_size(const xmlNode* element, const char* name, std::size_t limit) {
    // The very lookup of xmlGetNoNsProp: an attribute in no namespace, or a
    // default from the DTD.
    const xmlAttr* attribute = xmlHasNsProp(element, reinterpret_cast<const xmlChar*>(name), nullptr);
    return attribute == nullptr ? 0 : attribute_size(attribute, limit);
}

std::size_t attribute_size(xmlTextReaderPtr reader, const char* name, std::size_t limit) {
    return attribute_size(xmlTextReaderCurrentNode(reader), name, limit);
}
