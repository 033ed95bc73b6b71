// No input may crash, hang or read out of bounds: hostile shapes and every prefix of valid texts.
// Run under AddressSanitizer to make the "out of bounds" part bite.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "json/JsonDocument.h"
#include "text/CodePage.h"

namespace jdsm {
namespace {

TEST(JsonRobustness, HundredThousandLevels) {
    const int depth = 100000;
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(std::string(depth, '[') + std::string(depth, ']')));
    EXPECT_EQ(doc.getCount(), 1);
    std::string objects;
    for (int i = 0; i < depth; ++i)
        objects += "{\"a\":";
    objects += "1" + std::string(depth, '}');
    ASSERT_TRUE(doc.parse(objects));
    // Unclosed: the failure clears a 100000-level tree without recursion.
    int32_t status = 0, position = 0;
    EXPECT_FALSE(doc.parse(std::string(depth, '['), 1, &status, &position));
    EXPECT_EQ(status, -5);
    EXPECT_EQ(position, depth + 1);
    EXPECT_EQ(doc.getCount(), 0);
    ASSERT_TRUE(doc.parse(objects));
    doc.close();
}

TEST(JsonRobustness, HugeTokens) {
    JsonDocument doc;
    const std::string digits(3 << 20, '7');
    ASSERT_TRUE(doc.parse("[" + digits + "," + digits + ".5]"));
    EXPECT_EQ(doc.getInt64("[0]"), INT64_MAX);
    EXPECT_EQ(doc.getTextForm("[0]").length(), static_cast<int32_t>(digits.size()));
    const std::string big(2 << 20, 'x');
    ASSERT_TRUE(doc.parse("{\"" + big + "\":\"" + big + "\"}"));
    EXPECT_EQ(doc.getText(big).length(), static_cast<int32_t>(big.size()));
    // Parsing again releases the large blocks of the previous tree.
    ASSERT_TRUE(doc.parse("[]"));
}

TEST(JsonRobustness, NulInsideTheTextEndsIt) {
    JsonDocument doc;
    const std::u16string text(u"{\"a\":1}\0garbage[", 16);
    ASSERT_TRUE(doc.parseWide(text));
    EXPECT_EQ(doc.getText("a"), "1");
    int32_t status = 0, position = 0;
    EXPECT_FALSE(doc.parseWide(std::u16string(u"[1,\0 2]", 7), 1, &status, &position));
    EXPECT_EQ(status, -5);
    EXPECT_EQ(position, 4);
    std::string withNul("[\"a", 3);
    withNul.push_back('\0');
    withNul += "b\"]";
    EXPECT_FALSE(doc.parse(withNul, 1, &status));
    EXPECT_EQ(status, -7);
}

TEST(JsonRobustness, TruncatedEscapesAndLoneSurrogates) {
    const char16_t* texts[] = {
        u"[\"\\",
        u"[\"\\u",
        u"[\"\\u12",
        u"{\"a\\",
        u"{\"a\\u1",
        u"{\"a\":\"\\u00",
        u"\\",
        u"\\u",
        u"\"\\u\"",
        u"[\\u]",
        u"{a\\u:1}",
        u"[\"\xD800\"]",
        u"{\"\xDFFF\":\"\xD800\xD800\"}",
    };
    for (const char16_t* t : texts) {
        JsonDocument doc;
        int32_t status = 0, position = 0;
        const std::u16string_view view(t);
        doc.parseWide(view, 1, &status, &position);
        EXPECT_GE(position, 0);
        EXPECT_LE(position, static_cast<int32_t>(view.size()) + 1);
        (void)doc.getText("[0]");
        (void)doc.getText("a");
    }
    JsonDocument doc;
    ASSERT_TRUE(doc.parseWide(u"{\"\xDFFF\":\"\xD800x\"}"));
    EXPECT_EQ(doc.getTextWide(u"\xDFFF"), u"\xD800x");
    EXPECT_EQ(doc.getText("[0]"), "?x");
}

// Every prefix, and every single-character corruption, of a text full of the parser's special cases.
TEST(JsonRobustness, PrefixesAndCorruptions) {
    const std::u16string text =
        u"{\"a\":[1,2.5e-3,-0,true,false,null,\"s\\\"\\u4e2d\\n\"],'b':{c:'x',\"d\":{} \"e\":[{},[]]},"
        u"\"f\":\"\\ud83d\\ude00\",,\"g\":\"\\\\\"}[9]";
    const char16_t specials[] = u"{}[]:,\"'\\ u0\xD800";
    for (size_t n = 0; n <= text.size(); ++n) {
        JsonDocument doc;
        int32_t status = 0, position = 0;
        doc.parseWide(std::u16string_view(text).substr(0, n), 1, &status, &position);
        EXPECT_LE(position, static_cast<int32_t>(n) + 1) << n;
        for (const char16_t c : std::u16string_view(specials)) {
            std::u16string broken = text;
            if (n < broken.size()) broken[n] = c;
            doc.parseWide(broken, 3, &status, &position);
            EXPECT_LE(position, static_cast<int32_t>(broken.size()) + 1);
        }
    }
}

TEST(JsonRobustness, RandomTexts) {
    std::mt19937 rng(12345);  // fixed seed: the run is the same every time
    const char16_t alphabet[] = u"{}[]:,\"'\\ u0123456789abcdefEe.+-ntrl\t\r\n\x4e2d\xD800";
    const size_t letters = std::size(alphabet) - 1;
    for (int round = 0; round < 3000; ++round) {
        std::u16string t(rng() % 64, u' ');
        for (auto& c : t)
            c = alphabet[rng() % letters];
        JsonDocument doc;
        int32_t status = 0, position = 0;
        doc.parseWide(t, static_cast<int32_t>(rng() % 4), &status, &position);
        EXPECT_TRUE(status == 0 || (status <= -2 && status >= -7)) << status;
        EXPECT_LE(position, static_cast<int32_t>(t.size()) + 1);
        std::vector<JsonNode> children;
        doc.getChildren("", children);
        for (auto& ch : children)
            (void)ch.getText();
    }
}

}  // namespace
}  // namespace jdsm

namespace jdsm {
namespace {

// Random edits through random paths: nothing faults, and whatever tree results writes out as text that
// parses back to the same text.
TEST(JsonRobustness, RandomEditsKeepTheTreeWritable) {
    std::mt19937 rng(777);  // fixed seed: the run is the same every time
    const char* pieces[] = {"a", "b", "c", ".", "[0]", "[1]", "[3]", "[-1]", "\\.", "x\\[", "]", "["};
    auto randomPath = [&] {
        std::string p;
        const int n = static_cast<int>(rng() % 5);
        for (int i = 0; i < n; ++i)
            p += pieces[rng() % std::size(pieces)];
        return p;
    };
    const char* jsons[] = {"{\"a\":[1,2.50,{\"b\":null}],\"c\":\"s\"}",
                           "[[],{},\"x\"]",
                           "7",
                           "{\"a\":{\"a\":{}}}",
                           "[1,",
                           "'q'"};
    JsonDocument other;
    ASSERT_TRUE(other.parse(R"({"o":{"p":[1,true,"t"]},"arr":[1,[2]]})"));
    for (int round = 0; round < 40; ++round) {
        JsonDocument doc;
        ASSERT_TRUE(doc.parse(jsons[rng() % 4]));
        for (int step = 0; step < 60; ++step) {
            const std::string path = randomPath();
            const std::string name = std::string(1, "abc"[rng() % 3]);
            const int32_t kind = static_cast<int32_t>(rng() % 8) - 1;
            const int32_t index = static_cast<int32_t>(rng() % 6) - 1;
            switch (rng() % 22) {
                case 0:
                    doc.setInt(path, static_cast<int32_t>(rng()));
                    break;
                case 1:
                    doc.setReal(path, static_cast<double>(rng() % 1000) / 7);
                    break;
                case 2:
                    doc.setString(path, "v\"\\/\r\n");
                    break;
                case 3:
                    doc.setBool(path, rng() % 2);
                    break;
                case 4:
                    doc.setNull(path);
                    break;
                case 5:
                    doc.setObject(path);
                    break;
                case 6:
                    doc.setArray(path);
                    break;
                case 7:
                    doc.addMember(path, name, kind);
                    break;
                case 8:
                    doc.insertMember(path, index, name, kind);
                    break;
                case 9:
                    doc.appendElement(path, kind);
                    break;
                case 10:
                    doc.insertElement(path, index, kind);
                    break;
                case 11:
                    doc.removeMember(path, name);
                    break;
                case 12:
                    doc.removeElement(path, index);
                    break;
                case 13:
                    doc.clear(path);
                    break;
                case 14:
                    doc.setJson(path, jsons[rng() % std::size(jsons)]);
                    break;
                case 15:
                    doc.mergeJson(path, jsons[rng() % std::size(jsons)], 1, rng() % 2);
                    break;
                case 16:
                    doc.addMemberCopy(path, name, rng() % 2 ? JsonNode(other) : JsonNode(doc));
                    break;
                case 17:
                    doc.setElementCopy(path, index, rng() % 2 ? other.getNode("o") : doc.getNode(""));
                    break;
                case 18:
                    doc.mergeObject(path, rng() % 2 ? other.getNode("o") : doc.getNode(""));
                    break;
                case 19:
                    doc.appendAll(path, rng() % 2 ? other.getNode("arr") : doc.getNode(path));
                    break;
                case 20:
                    doc.sortMembers(path, static_cast<int32_t>(rng() % 2), rng() % 2);
                    break;
                default:
                    (void)doc.clone(path);
                    break;
            }
            (void)doc.getText(path);
        }
        const std::u16string written = doc.toJsonWide(u"");
        JsonDocument again;
        int32_t status = 0;
        ASSERT_TRUE(again.parseWide(written, 1, &status)) << status;
        EXPECT_EQ(again.toJsonWide(u""), written);
    }
}

}  // namespace
}  // namespace jdsm
