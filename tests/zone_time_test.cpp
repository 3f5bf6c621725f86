// XMLTV times to wall-clock time in a zone: summer time changes, offsets,
// stamps that cannot be read, and how zones are found. Every zone is named,
// or TZ set, so that the machine's own zone never matters.
#include "guide/zone_time.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr char untouched[] = "untouched...";

// The 12 characters written for `stamp` in `zone`, or "untouched..." when
// convert() refused it.
std::string converted(zone_time_converter& zone, const std::string& stamp) {
    char out[12];
    std::copy_n(untouched, 12, out);
    const bool ok = zone.convert(stamp, out);
    const std::string text(out, 12);
    EXPECT_EQ(ok, text != untouched) << stamp;
    return text;
}

// Sets TZ for one scope and puts back what was there.
class tz_setting {
public:
    explicit tz_setting(const char* value) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", value, 1);
    }
    ~tz_setting() {
        if (old_) setenv("TZ", old_->c_str(), 1);
        else unsetenv("TZ");
    }
    tz_setting(const tz_setting&) = delete;
    tz_setting& operator=(const tz_setting&) = delete;

private:
    std::optional<std::string> old_;
};

TEST(ZoneTime, ConvertsToWallClockTime) {
    struct case_t {
        const char* zone;
        const char* stamp;
        const char* expected;
    };
    const case_t cases[] = {
        // Paris: forward at 01:00 UTC on 29 March, back at 01:00 UTC on 25 October.
        {"Europe/Paris", "20260329005959 +0000", "202603290159"},
        {"Europe/Paris", "20260329010000 +0000", "202603290300"},
        {"Europe/Paris", "20261025005900 +0000", "202610250259"},
        {"Europe/Paris", "20261025010000 +0000", "202610250200"},
        {"Europe/Paris", "20261231233000 +0000", "202701010030"},
        {"Europe/Paris", "20260701120000 +0530", "202607010830"},
        {"Europe/Paris", "20260701120000 -0300", "202607011700"},
        {"Europe/Paris", "20260701120059", "202607011400"},
        {"Europe/Paris", "202607011200", "202607011400"},
        {"Europe/Paris", "202607011200 +0200", "202607011200"},
        {"Europe/Paris", "20260701120000+0200", "202607011200"},
        {"Europe/Paris", "20260701120000   +0200", "202607011200"},
        {"Europe/Paris", "20280229120000 +0000", "202802291300"},
        // Southern summer in January; Sao Paulo's last summer time, ended 2019.
        {"Australia/Sydney", "20260115000000 +0000", "202601151100"},
        {"Australia/Sydney", "20260715000000 +0000", "202607151000"},
        {"America/Sao_Paulo", "20181201000000 +0000", "201811302200"},
        {"America/New_York", "20260101030000 +0000", "202512312200"},
        // The second before 1970 is still in 23:59.
        {"UTC", "19691231235959 +0000", "196912312359"},
    };
    // One converter for each zone's rows, in order: a summer time change
    // must end the period it keeps.
    std::optional<zone_time_converter> zone;
    std::string zone_name;
    for (const case_t& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.stamp);
        if (zone_name != c.zone) {
            zone_name = c.zone;
            zone = zone_time_converter::locate(c.zone);
        }
        ASSERT_TRUE(zone);
        EXPECT_EQ(converted(*zone, c.stamp), c.expected);
    }
}

TEST(ZoneTime, RefusesStampsItCannotRead) {
    std::optional<zone_time_converter> paris = zone_time_converter::locate("Europe/Paris");
    ASSERT_TRUE(paris);
    for (const char* stamp : {
             "", "garbage", "20261025013", "2026102501300", "2026102501300 +0000",
             "20261025013000 BST", "20261025013000 +01:00", "20261025013000 +100",
             "20261025013000 0100", "20261025013000 +0000x", "20261025013000 ",
             " 20261025013000", "2026-10-25 01:30", "20261325013000 +0000",
             "20261000013000", "20270229120000", "20261025253000", "20261025016000",
             "20261025013060", "20261025013000 +0060", "20261025013000 +2400",
             // Year 10000 in Paris.
             "99991231233000 +0000",
         }) {
        EXPECT_EQ(converted(*paris, stamp), untouched) << '"' << stamp << '"';
    }
}

TEST(ZoneTime, LocatesZonesByNameOrTz) {
    EXPECT_FALSE(zone_time_converter::locate("Mars/Olympus_Mons"));
    EXPECT_FALSE(zone_time_converter::locate(""));

    struct case_t {
        const char* tz;
        const char* expected;  // for 20260701120000 +0000, "" when unknown
        const char* name;      // what messages call it
    };
    const case_t cases[] = {
        {"Europe/Paris", "202607011400", "Europe/Paris"},
        {":America/New_York", "202607010800", "America/New_York"},
        {"/usr/share/zoneinfo/Asia/Tokyo", "202607012100", "Asia/Tokyo"},
        {"Mars/Olympus_Mons", "", "Mars/Olympus_Mons"},
        // A POSIX rule, which glibc reads and the tz database does not.
        {"JST-9", "", "JST-9"},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.tz);
        const tz_setting tz(c.tz);
        EXPECT_EQ(zone_time_converter::local_zone_name(), c.name);
        std::optional<zone_time_converter> local = zone_time_converter::locate("local");
        ASSERT_EQ(local.has_value(), *c.expected != '\0');
        if (local) {
            EXPECT_EQ(converted(*local, "20260701120000 +0000"), c.expected);
        }
    }
}

} // namespace
