#include "text/Encoding.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "text/CodePage.h"

namespace jdsm {
namespace {

// 现货 in code page 936.
constexpr std::string_view kXianHuo = "\xCF\xD6\xBB\xF5";

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

TEST(Utf8ToLocal, ConvertsAndReplacesWhatTheCodePageLacks) {
    EXPECT_EQ(utf8ToLocal(Bytes{0xE7, 0x8E, 0xB0, 0xE8, 0xB4, 0xA7}), kXianHuo);
    EXPECT_EQ(utf8ToLocal(Bytes{}), "");
    EXPECT_EQ(utf8ToLocal("{\"a\":1}"), "{\"a\":1}");
    EXPECT_EQ(utf8ToLocal("\xE2\x82\xAC"), "\x80");    // the euro sign is one byte
    EXPECT_EQ(utf8ToLocal("\xE0\xB8\x81"), "?");       // Thai is not in the code page
    EXPECT_EQ(utf8ToLocal("\xF0\x9F\x98\x80"), "??");  // outside the BMP: one mark per unit
    EXPECT_EQ(utf8ToLocal("\xFF;\xE7\x8E"), "?;??");   // malformed, then truncated
    EXPECT_EQ(utf8ToLocal(bytesOf(std::string_view("ab\0cd", 5))), "ab");
}

TEST(Utf16BytesToText, ReadsLittleEndianUnits) {
    EXPECT_EQ(utf16BytesToText(Bytes{0xB0, 0x73, 0x27, 0x8D}), kXianHuo);
    EXPECT_EQ(utf16BytesToText(Bytes{0xFF, 0xFE, 0xB0, 0x73}), "\xCF\xD6");  // byte-order mark skipped
    EXPECT_EQ(utf16BytesToText(Bytes{'A', 0, 'B'}), "A");                    // odd last byte ignored
    EXPECT_EQ(utf16BytesToText(Bytes{'A', 0, 0, 0, 'B', 0}), "A");           // ends at a zero unit
    EXPECT_EQ(utf16BytesToText(Bytes{0x01, 0x0E}), "?");                     // U+0E01 is not in the code page
    EXPECT_EQ(utf16BytesToText(Bytes{}), "");
    EXPECT_EQ(utf16BytesToText(Bytes{0x42}), "");
}

TEST(DecodeEscapes, DecodesBackslashAndPercentEscapes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"\\u73b0\\u8d27", kXianHuo},
        {"%u73b0%u8d27", kXianHuo},
        {"%41", "A"},
        {"\"StockStateName\":\"\\u73b0\\u8d27\"", "\"StockStateName\":\"\xCF\xD6\xBB\xF5\""},
        // Other backslash sequences are read as the script string reads them, before unescape.
        {"a\\tb\\\\c\\/d", "a\tb\\c/d"},
        {"\\x25u0041", "A"},
        {"\\\\u0041", "A"},  // the second backslash and the u become %u, the first escapes the %
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(decodeEscapes(in), out) << in;
}

TEST(DecodeEscapes, KeepsLineBreaksAndApostrophes) {
    EXPECT_EQ(decodeEscapes("it's\r\nline 2\r\n"), "it's\r\nline 2\r\n");
    EXPECT_EQ(decodeEscapes("\\u73b0'\r\n'"), "\xCF\xD6'\r\n'");
    // A right single quotation mark already in the text comes back as an apostrophe.
    EXPECT_EQ(decodeEscapes("\xA1\xAF;"), "';");
    // The line-break marker of the script step is not told apart from one in the text.
    EXPECT_EQ(decodeEscapes("a{$}b"), "a\r\nb");
}

TEST(DecodeEscapes, DropsOneLeadingLoneCarriageReturn) {
    EXPECT_EQ(decodeEscapes("\rabc"), "abc");
    EXPECT_EQ(decodeEscapes("\r\r\nabc"), "\r\nabc");
}

// A text the script string cannot hold comes back as its own bytes read as UTF-16 (after the line
// breaks and apostrophes were swapped for their stand-ins, and with them swapped back).
TEST(DecodeEscapes, FallsBackToTheBytesReadAsUtf16) {
    // LF 'N' read as one unit is U+4E0A, 上.
    EXPECT_EQ(decodeEscapes("\nN"), "\xC9\xCF");
    const std::string_view fallbacks[] = {
        "x\ry",    // a lone carriage return after the start
        "a\nb",    // a lone line feed
        "ab\\",    // a final backslash would escape the closing quote
        "\x81'x",  // an apostrophe hidden behind a stray lead byte would end the string early
        "%00abc",  // the result starts with a zero unit, which reads as the empty text
        "\\0abc",
    };
    for (const auto in : fallbacks) {
        EXPECT_EQ(decodeEscapes(in), utf16BytesToText(bytesOf(in))) << in;
        EXPECT_NE(decodeEscapes(in), Text(in)) << in;
    }
}

TEST(DecodeEscapes, EmptyTextStaysEmpty) {
    EXPECT_EQ(decodeEscapes(""), "");
}

// Checks run these on many worker threads at once, the first calls included (they build the tables).
TEST(Encoding, ConcurrentCallsAgree) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(8, 0);
    for (size_t n = 0; n < wrong.size(); ++n) {
        threads.emplace_back([&wrong, n] {
            for (int k = 0; k < 200; ++k) {
                if (decodeEscapes("\\u73b0\\u8d27") != kXianHuo) ++wrong[n];
                if (utf8ToLocal("\xE7\x8E\xB0\xE8\xB4\xA7") != kXianHuo) ++wrong[n];
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong, std::vector<int>(wrong.size(), 0));
}

}  // namespace
}  // namespace jdsm
