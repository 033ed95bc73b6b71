#include "text/Text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace jdsm {
namespace {

// 现货 in code page 936: two double-byte characters.
constexpr std::string_view kXianHuo = "\xCF\xD6\xBB\xF5";

TEST(TextType, CutsAtZeroAndTreatsEmptyAsAbsent) {
    EXPECT_EQ(Text(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(Text(std::string("x\0y", 3)).length(), 1);
    EXPECT_EQ(Text(nullptr), Text());
    EXPECT_TRUE(Text("").empty());
    Text t("a");
    t += std::string_view("b\0c", 3);
    EXPECT_EQ(t, "ab");
}

struct FindCase {
    std::string_view text, sought;
    int32_t start;
    bool ignoreCase;
    int32_t expected;
};

TEST(TextFind, Table) {
    const FindCase cases[] = {
        {"abcb", "b", 3, false, 4},
        {"abcb", "b", 0, false, 2},
        {"abcb", "b", 9, false, -1},
        {"abcb", "b", 5, false, -1},
        {kXianHuo, "\xBB\xF5", 1, false, 3},
        {kXianHuo, "\xD6\xBB", 1, false, -1},  // straddles two characters
        {"Cookie: x", "cookie:", 1, true, 1},
        {"Cookie: x", "cookie:", 1, false, -1},
        {"abc", "", 1, false, 1},
        {"abc", "", 3, false, 1},
        {"", "", 1, false, -1},
        {"abc", "abcd", 1, false, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find(c.text, c.sought, c.start, c.ignoreCase), c.expected)
            << "find(" << c.text << ", " << c.sought << ", " << c.start << ")";
    }
}

TEST(TextFind, StepsFromTheScanStartNotFromTheTextStart) {
    // Starting on the trail byte of 现 makes D6 BB a character pair for this scan.
    EXPECT_EQ(find(kXianHuo, "\xD6\xBB", 2), 2);
}

TEST(TextFindLast, Table) {
    EXPECT_EQ(findLast("abcb", "b"), 4);
    EXPECT_EQ(findLast("abcb", "b", 4), 2);
    EXPECT_EQ(findLast("abcb", "b", 1), -1);
    EXPECT_EQ(findLast("abcb", "b", 99), 4);
    EXPECT_EQ(findLast("aXa", "x", std::nullopt, true), 2);
    EXPECT_EQ(findLast(kXianHuo, "\xD6\xBB"), -1);
    EXPECT_EQ(findLast("abab", "ab"), 3);
}

TEST(TextCut, LeftRightMiddle) {
    EXPECT_EQ(left("abc", 5), "abc");
    EXPECT_EQ(left("abc", -1), "");
    EXPECT_EQ(right("abc", 0), "");
    EXPECT_EQ(right("abc", 2), "bc");
    EXPECT_EQ(middle("abcdef", 5, 9), "ef");
    EXPECT_EQ(middle("abcdef", 0, 2), "");
    EXPECT_EQ(middle("abcdef", 7, 2), "");
    EXPECT_EQ(middle("abcdef", 2, 0), "");
}

TEST(TextReplace, Table) {
    EXPECT_EQ(replace("abab", "ab", "x"), "xx");
    EXPECT_EQ(replace("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(replace("Cookie: a=1", "cookie:", "", 1, -1, false), " a=1");
    EXPECT_EQ(replace("Cookie: a=1", "cookie:", "", 1, -1, true), "Cookie: a=1");
    EXPECT_EQ(replace("abab", "ab", "x", 2), "abx");
    EXPECT_EQ(replace("ababab", "ab", "x", 1, 2), "xxab");
    EXPECT_EQ(replace("abab", "ab", "x", 1, 0), "abab");
    EXPECT_EQ(replace("abab", "", "x"), "abab");
    EXPECT_EQ(replace("abab", "ab", "x", 9), "abab");
    // A replacement is never scanned again.
    EXPECT_EQ(replace("aa", "a", "aa"), "aaaa");
    // The pair D6 BB inside 现货 is not a character and stays.
    EXPECT_EQ(replace(kXianHuo, "\xD6\xBB", "x"), Text(kXianHuo));
    EXPECT_EQ(replace("\"\\\"x\"\\\"", "\"\\\"", "\"99999\""), "\"99999\"x\"99999\"");
}

TEST(TextSplit, KeepsInnerEmptiesDropsTrailingOne) {
    EXPECT_TRUE(split("", "\r\n").empty());
    EXPECT_EQ(split(",a,,b,", ","), (TextList{"", "a", "", "b"}));
    EXPECT_EQ(split("a\r\n\r\nb", "\r\n"), (TextList{"a", "", "b"}));
    EXPECT_EQ(split("a\r\n", "\r\n"), (TextList{"a"}));
    EXPECT_EQ(split("\r\n", "\r\n"), (TextList{""}));
    EXPECT_EQ(split(" a ", "\r\n"), (TextList{" a "}));
    EXPECT_EQ(split("abc", ""), (TextList{"abc"}));
    // A separator byte inside a double-byte character is no separator: 0xA1 0x2C holds ','.
    EXPECT_EQ(split("\xA1,x,y", ","), (TextList{"\xA1,x", "y"}));
}

TEST(TextSpaces, TrimAndRemoveKnowTwoSpaces) {
    EXPECT_EQ(trim("  a b  "), "a b");
    EXPECT_EQ(trim("\xA1\xA1"
                   "a"
                   "\xA1\xA1 "),
              "a");
    EXPECT_EQ(trim("\ta "), "\ta");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim("a\r\n"), "a\r\n");
    // B0 A1 is one character whose trail byte is A1: not the start of a space.
    EXPECT_EQ(trim("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
    EXPECT_EQ(removeSpaces("note=x y; a = \xA1\xA1"
                           "b"),
              "note=xy;a=b");
    EXPECT_EQ(removeSpaces("\tx\n"), "\tx\n");
}

TEST(TextMisc, UpperCharCodeRepeatBytes) {
    EXPECT_EQ(toUpper(std::string("ab\xB0"
                                  "a1z")),
              std::string("AB\xB0"
                          "a1Z"));
    EXPECT_EQ(charCode("A"), 65);
    EXPECT_EQ(charCode(kXianHuo, 1), static_cast<int8_t>(0xCF));
    EXPECT_EQ(charCode("A", 0), 0);
    EXPECT_EQ(charCode("A", 2), 0);
    EXPECT_EQ(repeat(3, "ab"), "ababab");
    EXPECT_EQ(repeat(0, "ab"), "");

    const Bytes raw = {'a', 0, 'b'};
    EXPECT_EQ(bytesToText(raw), "a");
    EXPECT_EQ(textToBytes("ab"), (Bytes{'a', 'b'}));
    EXPECT_EQ(bytesLeft(raw, 2), (Bytes{'a', 0}));
    EXPECT_EQ(bytesMiddle(raw, 2, 5), (Bytes{0, 'b'}));
    EXPECT_EQ(replaceBytes(Bytes{0, 1, 0, 1}, Bytes{0, 1}, Bytes{9}), (Bytes{9, 9}));
    EXPECT_EQ(replaceBytes(Bytes{0, 1, 0, 1}, Bytes{0, 1}, Bytes{9}, 2, 1), (Bytes{0, 1, 9}));
}

TEST(TextNumbers, IntegersAndPercentPoint13g) {
    EXPECT_EQ(numberToText(int32_t{-5}), "-5");
    EXPECT_EQ(numberToText(int64_t{9007199254740993}), "9007199254740993");
    EXPECT_EQ(numberToText(0.1), "0.1");
    EXPECT_EQ(numberToText(2.0), "2");
    EXPECT_EQ(numberToText(12.5), "12.5");
    EXPECT_EQ(numberToText(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(numberToText(1e20), "1e+20");
}

// The window toolkit switches the C library to the user's locale at start-up; a real must still be
// written with a decimal point (JSON text and request values are built from it).
TEST(TextNumbers, RealsIgnoreTheLocaleDecimalComma) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            comma = name;
            break;
        }
    }
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed";
    const Text half = numberToText(0.5);
    const Text big = numberToText(-1234.25e-10);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(half, "0.5") << comma;
    EXPECT_EQ(big, "-1.23425e-07") << comma;
}

}  // namespace
}  // namespace jdsm
