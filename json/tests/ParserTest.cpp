// The parser's contract: what it accepts, what it refuses (with status and position), and how it reads.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "json/JsonDocument.h"
#include "json/JsonModel.h"
#include "json/JsonParser.h"

namespace jdsm {
namespace {

using json_detail::Node;

struct Outcome {
    int32_t status = 99;
    int32_t position = 99;
};

Outcome parseText(JsonDocument& doc, std::string_view text, int32_t options = 1) {
    Outcome o;
    const bool ok = doc.parse(text, options, &o.status, &o.position);
    EXPECT_EQ(ok, o.status == 0) << text;
    return o;
}

struct StatusCase {
    const char* text;
    int32_t options;
    int32_t status;
    int32_t position;
};

TEST(JsonParser, StatusAndErrorPositionTable) {
    const StatusCase cases[] = {
        // accepted
        {"", 1, 0, 0},
        {"   \t\r\n ", 1, 0, 0},
        {"{}", 1, 0, 0},
        {"[]", 1, 0, 0},
        {R"({"a":1,})", 1, 0, 0},
        {"[1,]", 1, 0, 0},
        {"[1,,2]", 1, 0, 0},
        {"{a:1}", 1, 0, 0},
        {"{'a':'x'}", 1, 0, 0},
        {R"({"a":{} "b":1})", 1, 0, 0},
        {"[{} 1]", 1, 0, 0},
        {R"({"a":1}{"b":2})", 1, 0, 0},
        {"[1][2]", 1, 0, 0},
        {"42", 1, 0, 0},
        {" 42 ", 1, 0, 0},
        {R"({"a":1} x)", 3, 0, 0},
        {"x{\"a\":1}", 2, 0, 0},
        // refused
        {R"({,})", 1, -6, 1},
        {R"({"":1})", 1, -4, 3},
        {R"({"a" x:1})", 1, -4, 5},
        {R"({"a" "b":1})", 1, -4, 5},
        {R"({"" "b":1})", 1, -4, 5},
        {"[{}{}]", 1, -4, 3},
        {" true", 1, -6, 0},
        {"true ", 1, -6, 0},
        {R"({"a":1} x)", 1, -6, 0},
        {"[1", 1, -5, 3},
        {R"({"a":1)", 1, -5, 7},
        {R"({"a":"x})", 1, -7, 2},
        {R"(["abc)", 1, -7, 1},
        {R"({"a":1.2.3})", 1, -6, 5},
        {R"({"a":})", 1, -6, 5},
        {R"({"a"})", 1, -6, 0},
        {R"({"a":tru})", 1, -6, 5},
        {"[nul]", 1, -6, 1},
        {"[x 1]", 1, -6, 1},
        {R"({"a":1x[]})", 1, -6, 5},
        {"[1[]]", 1, -6, 1},
        {"{a{}}", 1, -4, 2},
        {"{{}}", 1, -4, 1},
        {R"({"a":1}})", 1, -6, 0},
        {"]", 1, -6, 0},
        {"\"", 1, -6, 0},  // a lone quote is no string
        {"'abc\"", 1, -6, 0},
    };
    for (const auto& c : cases) {
        JsonDocument doc;
        const Outcome o = parseText(doc, c.text, c.options);
        EXPECT_EQ(o.status, c.status) << c.text;
        EXPECT_EQ(o.position, c.position) << c.text;
    }
}

TEST(JsonParser, WideEmptyTextIsNoDocumentButTerminatorAloneParses) {
    JsonDocument doc;
    int32_t status = 1, position = 1;
    EXPECT_FALSE(doc.parseWide(std::u16string_view(), 1, &status, &position));
    EXPECT_EQ(status, -2);
    EXPECT_EQ(position, 0);
    EXPECT_TRUE(doc.isValid());
    EXPECT_TRUE(doc.parseWide(std::u16string_view(u"\0", 1), 1, &status, &position));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(doc.getKind(), JsonValueKind::Object);
    EXPECT_EQ(doc.getCount(), 0);
}

TEST(JsonParser, FailedParseLeavesAClearedRoot) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":1,"b":[1,2,3]})"));
    EXPECT_FALSE(doc.parse(R"({"x":1,"y":[1,2)"));
    EXPECT_TRUE(doc.isValid());
    EXPECT_EQ(doc.getKind(), JsonValueKind::Object);
    EXPECT_EQ(doc.getCount(), 0);
    EXPECT_FALSE(doc.exists("x"));
    // A root that became an array keeps that kind when a later parse fails or reads nothing.
    ASSERT_TRUE(doc.parse("[1,2]"));
    EXPECT_FALSE(doc.parse("[1,"));
    EXPECT_EQ(doc.getKind(), JsonValueKind::Array);
    EXPECT_EQ(doc.getCount(), 0);
}

TEST(JsonParser, LeniencyReadsAsDocumented) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":1,"b":2,"a":3})"));
    EXPECT_EQ(doc.getCount(), 2);
    EXPECT_EQ(doc.getText("a"), "3");
    EXPECT_EQ(doc.getElement("", 0).getTextForm(), "3");  // the last value in the first position

    ASSERT_TRUE(doc.parse("[1,,2,]"));
    EXPECT_EQ(doc.getCount(), 2);

    ASSERT_TRUE(doc.parse(R"({a:1, 'b' : 'x"y', "it's":2})"));
    EXPECT_EQ(doc.getText("a"), "1");
    EXPECT_EQ(doc.getText("b"), "x\"y");
    EXPECT_EQ(doc.getText("it's"), "2");

    ASSERT_TRUE(doc.parse(R"({"a":1}{"b":2})"));
    EXPECT_EQ(doc.getCount(), 2);
    ASSERT_TRUE(doc.parse("[1][2]"));
    EXPECT_EQ(doc.getCount(), 2);
    // A later top-level container of the other kind replaces the root.
    ASSERT_TRUE(doc.parse(R"({"a":1}[5])"));
    EXPECT_EQ(doc.getKind(), JsonValueKind::Array);
    EXPECT_EQ(doc.getText("[0]"), "5");

    // Blanks inside an unquoted token are not counted, so they cut it short by their number.
    ASSERT_TRUE(doc.parse("[1 2]"));
    EXPECT_EQ(doc.getText("[0]"), "1 ");
    EXPECT_EQ(doc.getInt("[0]"), 1);
}

TEST(JsonParser, TopLevelScalars) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse("42"));
    EXPECT_EQ(doc.getKind(), JsonValueKind::Integer);
    EXPECT_EQ(doc.getText(), "42");
    ASSERT_TRUE(doc.parse(" 42 "));
    EXPECT_EQ(doc.getInt(), 42);
    ASSERT_TRUE(doc.parse("null"));
    EXPECT_EQ(doc.getKind(), JsonValueKind::Null);
    ASSERT_TRUE(doc.parse("false"));
    EXPECT_EQ(doc.getKind(), JsonValueKind::Boolean);
    EXPECT_EQ(doc.getText(), "false");
}

// A top-level string is the whole text; brackets inside it used to be read again as containers, which
// refused some valid strings and left others read as objects, so the writer's output of such a root
// could not be read back.
TEST(JsonParser, TopLevelStringHoldingBracketsReadsAsThatString) {
    const char* const texts[] = {"\"x[1]\"",       "\"a{b}\"",          "\"{\"", "\"[\"",
                                 "\"]{;s:\\\"x\"", "\"{\\\"a\\\":1}\"", "'[{'"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        JsonDocument doc;
        const Outcome o = parseText(doc, text);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(doc.getKind(), JsonValueKind::String);
        const Text written = doc.toJson();
        JsonDocument again;
        ASSERT_TRUE(again.parse(written));
        EXPECT_EQ(again.getKind(), JsonValueKind::String);
        EXPECT_EQ(again.getText(), doc.getText());
    }
    JsonDocument doc;
    ASSERT_TRUE(doc.parse("\"a{b}\""));
    EXPECT_EQ(doc.getText(), "a{b}");
    // Text after a top-level string still makes the whole text no value.
    EXPECT_EQ(parseText(doc, "\"a\" {}").status, -6);
}

TEST(JsonParser, Numbers) {
    struct NumberCase {
        const char* token;
        JsonValueKind kind;
        double real;
        int64_t integer;
    };
    const NumberCase cases[] = {
        {"1.50", JsonValueKind::Real, 1.5, 1},
        {"-0", JsonValueKind::Integer, 0.0, 0},
        {"1E5", JsonValueKind::Real, 100000.0, 100000},
        {"5e", JsonValueKind::Real, 5.0, 5},
        {"+7", JsonValueKind::Integer, 7.0, 7},
        {".5", JsonValueKind::Real, 0.5, 0},
        {"1-2", JsonValueKind::Real, 1.0, 1},
        {"-", JsonValueKind::Integer, 0.0, 0},
        {".", JsonValueKind::Real, 0.0, 0},
        {"9223372036854775807", JsonValueKind::Integer, 9223372036854775807.0, INT64_MAX},
        {"99999999999999999999", JsonValueKind::Integer, 9223372036854775807.0, INT64_MAX},
        {"-99999999999999999999", JsonValueKind::Integer, -9223372036854775808.0, INT64_MIN},
        {"1e400", JsonValueKind::Real, HUGE_VAL, INT64_MAX},
        {"-1e400", JsonValueKind::Real, -HUGE_VAL, INT64_MIN},
        {"1e-400", JsonValueKind::Real, 0.0, 0},
        {"0.1", JsonValueKind::Real, 0.1, 0},
        {"-1.50", JsonValueKind::Real, -1.5, -1},
    };
    for (const auto& c : cases) {
        JsonDocument doc;
        ASSERT_TRUE(doc.parse(std::string("{\"n\":") + c.token + "}")) << c.token;
        EXPECT_EQ(doc.getKind("n"), c.kind) << c.token;
        EXPECT_EQ(doc.getText("n"), c.token) << "the text form is the token as written";
        EXPECT_EQ(doc.getReal("n"), c.real) << c.token;
        EXPECT_EQ(doc.getInt64("n"), c.integer) << c.token;
    }
    for (const char* bad : {"1.2.3", "1ee", "1+-2", "+-+1", "0x10", "1e5e", "Infinity", "NaN", "e5"}) {
        JsonDocument doc;
        int32_t status = 0;
        EXPECT_FALSE(doc.parse(std::string("[") + bad + "]", 1, &status)) << bad;
        EXPECT_EQ(status, -6) << bad;
    }
}

TEST(JsonParser, Escapes) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"(["a\"b"])"));
    EXPECT_EQ(doc.getTextWide(u"[0]"), u"a\"b");
    ASSERT_TRUE(doc.parse(R"({"s":"a\nb"})"));
    EXPECT_EQ(doc.getTextWide(u"s"), u"a\r\nb");
    ASSERT_TRUE(doc.parse(R"({"s":"a\r\nb\\n\/\b\t\f\x\'"})"));
    EXPECT_EQ(doc.getTextWide(u"s"), u"a\r\nb\\n/\b\t\f\\x\\'");
    ASSERT_TRUE(doc.parse(R"({"s":"\u4e2d\u0000!"})"));
    EXPECT_EQ(doc.getTextWide(u"s"), u"\u4e2d!");
    ASSERT_TRUE(doc.parse(R"({"s":"\u4e2d"})", 0));
    EXPECT_EQ(doc.getTextWide(u"s"), u"\\u4e2d");
    // Invalid or truncated u-escapes stay as written.
    ASSERT_TRUE(doc.parse(R"({"s":"\u12G4|\u12xx"})"));
    EXPECT_EQ(doc.getTextWide(u"s"), u"\\u12G4|\\u12xx");
    // Surrogate halves decode one at a time: a pair as written, a lone half as it is.
    ASSERT_TRUE(doc.parse(R"(["\ud83d\ude00","\udc00"])"));
    EXPECT_EQ(doc.getTextWide(u"[0]"), u"\U0001F600");
    EXPECT_EQ(doc.getTextWide(u"[1]"), std::u16string(1, char16_t(0xDC00)));
    EXPECT_EQ(doc.getText("[1]"), "?");
    // Names are unescaped as well; a name that begins with a line feed escape gets a line feed alone.
    ASSERT_TRUE(doc.parse(R"({"a\tb":1,\n:2})"));
    EXPECT_EQ(doc.getNameWide(u"[0]"), u"a\tb");
    EXPECT_EQ(doc.getNameWide(u"[1]"), u"\n");
    // The top-level string unescapes over the whole token, quotes included.
    ASSERT_TRUE(doc.parse(R"("a\"")"));
    EXPECT_EQ(doc.getTextWide(u""), u"a\"");
}

TEST(JsonParser, RawControlCharactersAndCodePageText) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse("[\"a\x01\tb\"]"));
    EXPECT_EQ(doc.getText("[0]"), "a\x01\tb");
    // {"stock":{"StockStateName":"现货"}} in code page 936.
    ASSERT_TRUE(doc.parse("{\"stock\":{\"StockStateName\":\"\xCF\xD6\xBB\xF5\"}}"));
    EXPECT_EQ(doc.getText("stock.StockStateName"), "\xCF\xD6\xBB\xF5");
    EXPECT_EQ(doc.getTextWide(u"stock.StockStateName"), u"\u73b0\u8d27");
}

TEST(JsonParser, ParseIntoAnyNodeClearsItFirst) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"keep":1,"t":{"old":1}})"));
    auto* target = reinterpret_cast<Node*>(doc.getNode("t").rawNode());
    int32_t position = -1;
    EXPECT_EQ(json_detail::parseInto(target, u"[1,2]", 1, &position), 0);
    EXPECT_EQ(doc.getKind("t"), JsonValueKind::Array);
    EXPECT_EQ(doc.getCount("t"), 2);
    EXPECT_EQ(doc.getName("t"), "t");
    EXPECT_EQ(json_detail::parseInto(target, u"\"s\"", 1, &position), 0);
    EXPECT_EQ(doc.getText("t"), "s");
    EXPECT_EQ(json_detail::parseInto(target, u"[1,", 1, &position), -5);
    EXPECT_EQ(position, 4);
    EXPECT_EQ(doc.getText("keep"), "1");
    EXPECT_EQ(json_detail::parseInto(nullptr, u"1", 1, &position), -2);
}

TEST(JsonParser, DeepNestingBeyondTheInitialStack) {
    const int depth = 5000;
    const std::string text = std::string(depth, '[') + "7" + std::string(depth, ']');
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(text));
    std::string path;
    for (int i = 0; i < depth; ++i)
        path += "[0]";
    EXPECT_EQ(doc.getText(path), "7");
}

}  // namespace
}  // namespace jdsm
