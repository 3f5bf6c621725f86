// The counted length of an attribute against what libxml2 hands out for it.
#include "listing/attribute_size.hpp"

#include <gtest/gtest.h>

#include <libxml/entities.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>

namespace {

struct reader_deleter {
    void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using reader_handle = std::unique_ptr<xmlTextReader, reader_deleter>;

struct doc_deleter {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using doc_handle = std::unique_ptr<xmlDoc, doc_deleter>;

struct xml_string_deleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using xml_string = std::unique_ptr<xmlChar, xml_string_deleter>;

// Nested entities, each counted once but expanded wherever referred to.
const std::string entities = "<!DOCTYPE tv [\n"
                             "<!ENTITY x 'x&#233;x'>\n"
                             "<!ENTITY y '&x;-&x;&amp;&x;'>\n"
                             "<!ENTITY z '[&y;&x;&y;]'>\n"
                             "<!ENTITY empty ''>\n"
                             "<!ATTLIST e d CDATA 'from the DTD'>\n"
                             "]>\n";

struct attribute_case {
    const char* name;
    std::string listing; // its last element start is the element "e"
};

void PrintTo(const attribute_case& value, std::ostream* out) { *out << value.listing; }

class AttributeSize : public testing::TestWithParam<attribute_case> {};

// Reads up to the last element start and compares the count with the length
// of xmlTextReaderGetAttribute's value for "a" and "d", with and without a
// limit below it, and a value held whole with that value's bytes.
TEST_P(AttributeSize, EqualsWhatLibxml2Returns) {
    const std::string& listing = GetParam().listing;
    const reader_handle reader(xmlReaderForMemory(listing.data(), static_cast<int>(listing.size()), "t.xml",
                                                  nullptr, 0));
    ASSERT_TRUE(reader);
    bool at_e = false;
    while (!at_e && xmlTextReaderRead(reader.get()) == 1)
        at_e = xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_ELEMENT &&
               std::strcmp(reinterpret_cast<const char*>(xmlTextReaderConstName(reader.get())), "e") == 0;
    ASSERT_TRUE(at_e);
    for (const char* name : {"a", "d"}) {
        const xml_string value(xmlTextReaderGetAttribute(reader.get(), reinterpret_cast<const xmlChar*>(name)));
        const char* bytes = reinterpret_cast<const char*>(value.get());
        const std::size_t length = bytes == nullptr ? 0 : std::strlen(bytes);
        EXPECT_EQ(attribute_size(reader.get(), name, 1000), length) << name;
        EXPECT_EQ(attribute_size(reader.get(), name, length), length) << name;
        if (length > 0) {
            EXPECT_EQ(attribute_size(reader.get(), name, length - 1), length) << name;
        }
        const xmlAttr* attribute =
            xmlHasNsProp(xmlTextReaderCurrentNode(reader.get()), reinterpret_cast<const xmlChar*>(name), nullptr);
        const held_value held = attribute == nullptr ? held_value{false, nullptr} : held_value_of(attribute);
        if (held.whole) {
            const char* held_bytes = reinterpret_cast<const char*>(held.text);
            EXPECT_EQ(held_bytes == nullptr ? std::string("(none)") : held_bytes,
                      bytes == nullptr ? std::string("(none)") : bytes) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, AttributeSize,
    testing::Values(attribute_case{"Plain", "<tv><e a='plain &amp; &#233;'/></tv>"},
                    attribute_case{"Empty", "<tv><e a=''/></tv>"},
                    attribute_case{"Absent", "<tv><e b='x'/></tv>"},
                    attribute_case{"NestedEntities", entities + "<tv><e a='&z;(&y;)&z;'/></tv>"},
                    attribute_case{"EmptyEntity", entities + "<tv><e a='&empty;'/></tv>"},
                    attribute_case{"OnlyTheDtdDefault", entities + "<tv><e/></tv>"},
                    // Children built from the content the first time round.
                    attribute_case{"EntityFirstUsedInContent", entities + "<tv><t>&z;</t><e a='&z;'/></tv>"},
                    // The attribute in no namespace, not the first of that name.
                    attribute_case{"NamespacedNameFirst",
                                   entities + "<tv xmlns:n='urn:n'><e n:a='&z;&z;&z;' a='&x;'/></tv>"}),
    [](const testing::TestParamInfo<attribute_case>& info) { return info.param.name; });

// libxml2 never builds an entity that contains itself; should one turn up,
// it counts as too long instead of recursing without end.
TEST(AttributeSizeLoop, SelfReferringEntityIsTooLong) {
    const doc_handle doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    ASSERT_NE(xmlCreateIntSubset(doc.get(), reinterpret_cast<const xmlChar*>("tv"), nullptr, nullptr), nullptr);
    const auto* name = reinterpret_cast<const xmlChar*>("loop");
    xmlEntityPtr loop = xmlAddDocEntity(doc.get(), name, XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr,
                                        reinterpret_cast<const xmlChar*>("&loop;&loop;"));
    ASSERT_NE(loop, nullptr);
    xmlNodePtr inner = xmlNewReference(doc.get(), reinterpret_cast<const xmlChar*>("&loop;"));
    inner->parent = reinterpret_cast<xmlNodePtr>(loop);
    loop->children = loop->last = inner;
    loop->owner = 1;

    xmlNodePtr element = xmlNewDocNode(doc.get(), nullptr, reinterpret_cast<const xmlChar*>("e"), nullptr);
    xmlDocSetRootElement(doc.get(), element);
    xmlAttrPtr attribute = xmlNewDocProp(doc.get(), reinterpret_cast<const xmlChar*>("a"), nullptr);
    attribute->children = attribute->last = xmlNewReference(doc.get(), reinterpret_cast<const xmlChar*>("&loop;"));
    attribute->children->parent = reinterpret_cast<xmlNodePtr>(attribute);
    attribute->parent = element;
    element->properties = attribute;

    EXPECT_EQ(attribute_size(element, "a", 100), 101u);
}

} // namespace
