#include "text/TimeRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <vector>

#include "text/CodePage.h"

namespace jdsm {
namespace {

// A clock that gives the readings in turn and then repeats the last one.
LocalClock readings(std::vector<LocalTime> times) {
    return [times = std::move(times), n = size_t{0}]() mutable {
        return times[std::min(n++, times.size() - 1)];
    };
}

LocalClock fixed(LocalTime t) {
    return readings({t});
}

TickCounter ticks(uint64_t value) {
    return [value] { return value; };
}

// Counter readings far enough apart to walk through every result of the generator.
TickCounter steppingTicks() {
    return [t = uint64_t{12345}]() mutable { return t += 0x9E3779B1u; };
}

TEST(TimestampText, CountsFromEightOClockLocalAndFillsAtTheEnd) {
    struct Case {
        LocalTime time;
        bool tenDigits;
        std::string_view expected;
    };
    const Case cases[] = {
        {{2020, 2, 9, 14, 5, 7, 45}, false, "1581228307045"},
        {{2020, 2, 9, 14, 5, 7, 45}, true, "1581228307"},
        {{2020, 2, 9, 14, 5, 7, 0}, false, "1581228307000"},
        {{1970, 1, 2, 8, 0, 0, 7}, false, "8640000700000"},
        {{1970, 1, 2, 8, 0, 0, 7}, true, "8640000700"},
        {{1970, 1, 1, 8, 0, 0, 999}, false, "0999000000000"},
        // Past 19 January 2038 the seconds no longer fit 32 bits; the stamp stays right.
        {{2040, 1, 1, 8, 0, 0, 123}, false, "2208988800123"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(timestampText(c.tenDigits, fixed(c.time)), c.expected)
            << c.time.year << "-" << c.time.month << "-" << c.time.day << " " << c.time.millisecond;
    }
}

TEST(TimestampText, ReadsTheMillisecondsBeforeTheSeconds) {
    // The second reading crossed into the next second: its seconds meet the first reading's milliseconds.
    const LocalClock clock = readings({{2020, 2, 9, 14, 5, 7, 999}, {2020, 2, 9, 14, 5, 8, 0}});
    EXPECT_EQ(timestampText(false, clock), "1581228308999");
}

TEST(TimestampText, SystemClockGivesThirteenDigits) {
    const Text t = timestampText();
    EXPECT_EQ(t.length(), 13);
    EXPECT_TRUE(std::all_of(t.view().begin(), t.view().end(), [](char c) { return c >= '0' && c <= '9'; }))
        << t;
    EXPECT_EQ(timestampText(true).length(), 10);
}

TEST(LogTimeText, LeavesOutTrailingZeroParts) {
    const std::pair<LocalTime, std::string_view> cases[] = {
        {{2020, 2, 9, 14, 5, 7}, "2020年2月9日14时5分7秒"},
        {{2020, 2, 9, 14, 5, 0}, "2020年2月9日14时5分"},
        {{2020, 2, 9, 14, 0, 0}, "2020年2月9日14时"},
        {{2020, 2, 9, 0, 0, 0}, "2020年2月9日"},
        {{2020, 12, 31, 0, 5, 0}, "2020年12月31日0时5分"},
        {{2020, 12, 31, 0, 0, 7}, "2020年12月31日0时0分7秒"},
    };
    for (const auto& [time, utf8] : cases) {
        EXPECT_EQ(logTimeText(time), codepage::utf8ToLocalString(utf8)) << utf8;
        EXPECT_EQ(logTimeText(fixed(time)), codepage::utf8ToLocalString(utf8)) << utf8;
    }
    EXPECT_EQ(find(logTimeText(), codepage::utf8ToLocalString("年")), 5);
}

TEST(RandomInRange, IsTheClassicGeneratorStepOfTheCounter) {
    // Seeded with 0 and 1, this generator's first outputs are the well-known 38 and 41.
    EXPECT_EQ(randomInRange(0, 0, ticks(0)), 38);
    EXPECT_EQ(randomInRange(0, 0, ticks(1)), 41);
    EXPECT_EQ(randomInRange(0, 0, ticks(0xABCD'0000'0001)), 41);  // only the low 32 bits count
    EXPECT_EQ(randomInRange(100, 0, ticks(1)), 141);
    EXPECT_EQ(randomInRange(0, 9, ticks(0)), 8);
    EXPECT_EQ(randomInRange(-3, 3, ticks(1)), -3 + 41 % 7);
}

TEST(RandomInRange, StaysInItsRange) {
    const TickCounter counter = steppingTicks();
    std::set<int32_t> seen;
    int32_t widest = 0;
    for (int n = 0; n < 200000; ++n) {
        const int32_t v = randomInRange(1, 5, counter);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 5);
        seen.insert(v);
        const int32_t w = randomInRange(0, 0, counter);
        ASSERT_GE(w, 0);
        ASSERT_LE(w, 32767);
        widest = std::max(widest, w);
    }
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_GT(widest, 32000);
}

TEST(RandomInRange, BoundsOutsideTheContractDoNotFail) {
    // A span of 2^32 wraps to 0 in 32 bits: full range and a high just below low.
    EXPECT_EQ(randomInRange(INT32_MIN, INT32_MAX, ticks(1)), INT32_MIN + 41);
    EXPECT_EQ(randomInRange(5, 4, ticks(1)), 46);
    EXPECT_EQ(randomInRange(5, 1, ticks(1)), 46);
    EXPECT_EQ(randomInRange(INT32_MAX, 7, ticks(1)), INT32_MIN + 40);
}

TEST(RandomDigits, ParityPicksTheDigitSet) {
    struct Case {
        int32_t count, parity;
        std::string_view allowed;
    };
    const Case cases[] = {{6, 0, "0123456789"}, {5, 1, "13579"}, {5, 2, "02468"}, {5, -7, "02468"}};
    for (const auto& c : cases) {
        const TickCounter counter = steppingTicks();
        std::set<char> seen;
        for (int n = 0; n < 200; ++n) {
            const Text d = randomDigits(c.count, c.parity, counter);
            ASSERT_EQ(d.length(), c.count);
            for (const char ch : d.view()) {
                ASSERT_NE(c.allowed.find(ch), std::string_view::npos) << d << " parity " << c.parity;
                seen.insert(ch);
            }
        }
        EXPECT_EQ(seen.size(), c.allowed.size()) << "parity " << c.parity;
    }
    EXPECT_EQ(randomDigits(0), "");
    EXPECT_EQ(randomDigits(-2), "");
    EXPECT_EQ(randomDigits(3, 0, ticks(0)), "888");
    EXPECT_EQ(randomDigits(3, 1, ticks(1)), "333");  // k = 1 + 41 % 5 = 2, the 2nd odd digit
    EXPECT_EQ(randomDigits(6).length(), 6);
}

TEST(TickCounter, Moves) {
    const uint64_t first = readTickCounter();
    bool moved = false;
    for (int n = 0; n < 1000000 && !moved; ++n)
        moved = readTickCounter() != first;
    EXPECT_TRUE(moved);
}

}  // namespace
}  // namespace jdsm
