#include "common/trace.hpp"
#include "captured_output.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string traced(std::string_view prefix, std::string_view value) {
    captured_output out(stdout);
    trace_value(prefix, value);
    return out.take();
}

TEST(Trace, ValueLinesOfEveryLength) {
    const std::string prefix = "\tdesc = ";
    // Around the point where a line stops being put together in one piece.
    for (const std::size_t size : {0, 1, 100, 502, 503, 504, 505, 511, 512, 513, 100'000}) {
        SCOPED_TRACE(size);
        std::string value(size, 'x');
        for (std::size_t i = 0; i < size; i += 7) value[i] = static_cast<char>('a' + i % 26);
        ASSERT_EQ(traced(prefix, value), prefix + value + "\n");
    }
}

TEST(Trace, EmbeddedBytesAreKept) {
    const std::string value("a\0b\nc", 5);
    EXPECT_EQ(traced("\tx = ", value), "\tx = " + value + "\n");
}

} // namespace
