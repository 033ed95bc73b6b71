#include "text/Extract.h"

#include <gtest/gtest.h>

namespace jdsm {
namespace {

// 【 and 】 in code page 936.
#define OPEN_BRACKET "\xA1\xBE"
#define CLOSE_BRACKET "\xA1\xBF"

TEST(Extract, TextBetweenFindsTheNextEndMarkerAfterTheStart) {
    EXPECT_EQ(textBetween("x cat: [1,2,3], y", "cat: [", "],"), "1,2,3");
    EXPECT_EQ(textBetween("<title>A</title>", "<title>", "</title>"), "A");
    EXPECT_EQ(textBetween("<title></title>", "<title>", "</title>"), "");
    EXPECT_EQ(textBetween("no markers", "<title>", "</title>"), "");
    EXPECT_EQ(textBetween("<title>unclosed", "<title>", "</title>"), "");
    EXPECT_EQ(textBetween(")a(b)c)", "(", ")"), "b");
    EXPECT_EQ(textBetween("Set-Cookie: a=1; Path=/", "Set-Cookie:", ";"), " a=1");
    EXPECT_EQ(textBetween("<A>x</a>", "<a>", "</A>", std::nullopt, true), "x");
    EXPECT_EQ(textBetween("(a)(b)", "(", ")", 3), "b");
}

TEST(Extract, QuoteMarkStandsForADoubleQuote) {
    EXPECT_EQ(textBetween(R"({"id":"42"})", "#\xD2\xFD\xBA\xC5id#\xD2\xFD\xBA\xC5:#\xD2\xFD\xBA\xC5",
                          "#\xD2\xFD\xBA\xC5"),
              "42");
}

TEST(Extract, TextBeforeAlwaysStartsAtTheBeginning) {
    EXPECT_EQ(textBefore("Name: v", ": "), "Name");
    EXPECT_EQ(textBefore("abc", "x"), "");
    EXPECT_EQ(textBefore("abcabc", "a", 2), "abc");
    EXPECT_EQ(textBefore("abcabc", "a", -4), "");
    // The title rule: a bracket in the first seven bytes is passed over.
    EXPECT_EQ(textBefore(OPEN_BRACKET "tag" CLOSE_BRACKET "Name" OPEN_BRACKET "x", OPEN_BRACKET, 8),
              OPEN_BRACKET "tag" CLOSE_BRACKET "Name");
    EXPECT_EQ(textBefore(OPEN_BRACKET "ab" CLOSE_BRACKET, OPEN_BRACKET, 8), "");
}

TEST(Extract, TextAfterLast) {
    EXPECT_EQ(textAfterLast(OPEN_BRACKET "tag" CLOSE_BRACKET "Name", CLOSE_BRACKET), "Name");
    EXPECT_EQ(textAfterLast("a/b/c", "/"), "c");
    EXPECT_EQ(textAfterLast("a/b/c", "/", 4), "b/c");
    EXPECT_EQ(textAfterLast("abc", "/"), "");
    EXPECT_EQ(textAfterLast("abc/", "/"), "");
}

TEST(Extract, DropLeftAndRight) {
    EXPECT_EQ(dropRight(dropLeft("jQuery1123456({\"a\":1})", 14), 1), "{\"a\":1}");
    EXPECT_EQ(dropLeft("short", 14), "");
    EXPECT_EQ(dropLeft("abc", 0), "abc");
    EXPECT_EQ(dropLeft("abc", -3), "abc");
    EXPECT_EQ(dropRight("abc", 3), "");
    EXPECT_EQ(dropRight("abc", INT32_MIN), "abc");
}

}  // namespace
}  // namespace jdsm
