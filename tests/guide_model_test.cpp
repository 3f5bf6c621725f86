// Attachment rules of the guide model, driven directly (no listing).
#include "guide/guide_model.hpp"
#include "captured_output.hpp"

#include "capture_store.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>
#include <string>

namespace {

std::string trace_of(const std::function<void()>& action) {
    captured_output out(stdout);
    action();
    return out.take();
}

// "c<n>", built by append(): GCC 12 in Release warns falsely (-Wrestrict) on
// "c" + a string.
std::string channel_id(int n) { return std::string("c").append(std::to_string(n)); }

void add_channel_with_id(const std::string& id) {
    add_channel();
    set_last_channel_id(id);
}

program_t programme(const char* channel, const char* start = "1", const char* stop = "2",
                    const char* title = "T") {
    program_t program = program_new();
    if (channel) program[program_field::channel] = channel;
    if (start) program[program_field::start] = start;
    if (stop) program[program_field::stop] = stop;
    if (title) program[program_field::title] = title;
    return program;
}

std::string attach(program_t program) {
    current_program = std::move(program);
    return trace_of(attach_current_program_to_channel);
}

class GuideModel : public testing::Test {
protected:
    void SetUp() override {
        reset_guide_model();
        keep_programs_in(&store);
    }
    void TearDown() override { reset_guide_model(); }
    capture_store store;
};

// The channel index goes with the channels, or a later run would attach to
// a channel that is no more.
TEST_F(GuideModel, ResetForgetsTheChannelIds) {
    add_channel_with_id("c1");
    reset_guide_model();
    EXPECT_EQ(attach(programme("c1")), "!!!!! programme orphelin (chaine c1 non trouvee) !!!!!\n");
}

struct missing_field_case {
    const char* name;
    program_t program;
};

TEST_F(GuideModel, ProgrammeLackingARequiredFieldIsIncomplete) {
    add_channel_with_id("c1");
    const missing_field_case cases[] = {
        {"channel", programme(nullptr)},
        {"start", programme("c1", nullptr)},
        {"stop", programme("c1", "1", nullptr)},
        {"title", programme("c1", "1", "2", nullptr)},
        {"all", program_new()},
    };
    for (const missing_field_case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(attach(c.program), "!!!!! programme incomplet !!!!!\n");
        EXPECT_FALSE(current_program);
    }
    EXPECT_EQ(prg_file.channels[0].nb_programs, 0);
    EXPECT_TRUE(store.kept.empty());
    EXPECT_EQ(prg_file.nb_incomplete, 5);
    EXPECT_EQ(prg_file.nb_orphans, 0);
}

TEST_F(GuideModel, EmptyRequiredFieldsStillCount) {
    add_channel_with_id("");
    EXPECT_EQ(attach(programme("", "", "", "")), "programme 1 sur \n");
    ASSERT_EQ(store.kept.size(), 1U);
    const program_t& kept = store.kept[0].program;
    EXPECT_EQ(kept[program_field::start], "");
    EXPECT_EQ(kept[program_field::title], "");
}

TEST_F(GuideModel, OrphanNamesItsChannelAndIsDropped) {
    add_channel_with_id("c1");
    const char* const ids[] = {"c2", "C1", "c1 ", " c1", ""};
    for (const char* id : ids) {
        SCOPED_TRACE(id);
        EXPECT_EQ(attach(programme(id)),
                  std::string("!!!!! programme orphelin (chaine ") + id + " non trouvee) !!!!!\n");
        EXPECT_FALSE(current_program);
    }
    EXPECT_EQ(prg_file.channels[0].nb_programs, 0);
    EXPECT_EQ(prg_file.nb_orphans, 5);
    EXPECT_EQ(prg_file.nb_incomplete, 0);
}

TEST_F(GuideModel, ChannelWithoutIdNeverMatches) {
    add_channel();
    EXPECT_EQ(attach(programme("")), "!!!!! programme orphelin (chaine  non trouvee) !!!!!\n");
    add_channel_with_id("");
    EXPECT_EQ(attach(programme("")), "programme 1 sur \n");
    EXPECT_EQ(prg_file.channels[0].nb_programs, 0);
    EXPECT_EQ(prg_file.channels[1].nb_programs, 1);
}

TEST_F(GuideModel, DuplicateIdGoesToTheFirstChannel) {
    add_channel_with_id("x");
    add_channel_with_id("d");
    add_channel_with_id("d");
    EXPECT_EQ(attach(programme("d")), "programme 1 sur d\n");
    add_channel_with_id("d");
    EXPECT_EQ(attach(programme("d")), "programme 2 sur d\n");
    EXPECT_EQ(prg_file.channels[1].nb_programs, 2);
    EXPECT_EQ(prg_file.channels[2].nb_programs, 0);
    EXPECT_EQ(prg_file.channels[3].nb_programs, 0);
}

TEST_F(GuideModel, ChannelsAddedAfterProgrammesAreFound) {
    // Enough channels that the table moves in memory several times.
    constexpr int count = 200;
    for (int i = 0; i < count; ++i) {
        add_channel_with_id(channel_id(i));
        const std::string id = channel_id(i / 2);
        const std::string trace = attach(programme(id.c_str()));
        ASSERT_EQ(trace, "programme " + std::to_string(i % 2 + 1) + " sur " + id + "\n") << i;
    }
    ASSERT_EQ(prg_file.nb_channels, count);
    for (int i = 0; i < count; ++i) {
        const channel_t& channel = prg_file.channels[static_cast<std::size_t>(i)];
        EXPECT_EQ(channel.nb_programs, i < count / 2 ? 2 : 0) << i;
    }
    ASSERT_EQ(store.kept.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) EXPECT_EQ(store.kept[static_cast<std::size_t>(i)].channel, i / 2) << i;
}

TEST_F(GuideModel, AttachedProgrammeKeepsItsFieldsAndOrder) {
    add_channel_with_id("c0");
    add_channel_with_id("c1");
    program_t first = programme("c1", "20070101200000 +0100", "20070101210000 +0100", "Film");
    first[program_field::subtitle] = "";
    first[program_field::category] = "Drama/Crime";
    first[program_field::rating] = "-12";
    attach(first);
    attach(programme("c1", "3", "4", "Second"));
    attach(programme("c1", "5", "6", "Third"));

    EXPECT_EQ(prg_file.channels[1].nb_programs, 3);
    ASSERT_EQ(store.kept.size(), 3U);
    // Handed over whole, as read, with the position of its channel.
    EXPECT_EQ(store.kept[0].channel, 1);
    EXPECT_EQ(store.kept[0].program.fields, first.fields);
    EXPECT_EQ(store.kept[1].program[program_field::title], "Second");
    EXPECT_EQ(store.kept[2].program[program_field::title], "Third");
}

TEST_F(GuideModel, DryRunKeepsNothing) {
    keep_programs_in(nullptr);
    add_channel_with_id("c1");
    EXPECT_EQ(attach(programme("c1")), "programme 1 sur c1\n");
    EXPECT_EQ(prg_file.channels[0].nb_programs, 1);
    EXPECT_TRUE(store.kept.empty());
}

} // namespace
