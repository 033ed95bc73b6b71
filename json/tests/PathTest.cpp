// Paths: their syntax, reading and writing resolution, text rendering and the typed readers.

#include <gtest/gtest.h>

#include "json/JsonDocument.h"
#include "json/JsonPath.h"

namespace jdsm {
namespace {

using json_detail::ParsedPath;

std::string describe(const ParsedPath& p) {
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i].kind == json_detail::kNameStep) {
            out += "<" + std::string(p[i].name, p[i].name + p[i].nameLength) + ">";
        } else {
            out += "[" + std::to_string(p[i].index) + "]";
        }
    }
    return out;
}

TEST(JsonPath, Syntax) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.b", "<a><b>"},
        {"a[0].b", "<a>[0]<b>"},
        {"[2]", "[2]"},
        {"a..b", "<a><b>"},
        {"a.", "<a>"},
        {"", ""},
        {".", ""},
        {"a\\.b", "<a.b>"},
        {"a\\\\.b", "<a\\><b>"},
        {"a\\[1\\]", "<a[1]>"},
        {"a\\x", "<a\\x>"},
        {"a[ -3]", "<a>[-3]"},
        {"a[+2x]", "<a>[2]"},
        {"a[]", "<a>[0]"},
        {"a[99999999999]", "<a>[2147483647]"},
        {"ab]c", "<c>"},  // a "]" before any "[" drops what precedes it
        {"a[1", "<a><1>"},
        {"a[0]b", "<a>[0]<b>"},
        {"a[1][2]", "<a>[1][2]"},
    };
    for (const auto& [path, steps] : cases) {
        EXPECT_EQ(describe(ParsedPath(std::string_view(path))), steps) << path;
    }
}

TEST(JsonPath, ProductCheckQueries) {
    JsonDocument doc;
    // {"stock":{"StockStateName":"现货","jdPrice":{"p":"12.90"}},...} in code page 936.
    ASSERT_TRUE(doc.parse(
        "{\"stock\":{\"StockStateName\":\"\xCF\xD6\xBB\xF5\",\"jdPrice\":{\"p\":\"12.90\"},\"serviceInfo\":"
        "null},"
        "\"errCode\":0,\"skuInfos\":[{\"unionUrl\":\"u\"}],\"p\":-1.50,\"a.b\":1,\"a\":{\"b\":2}}"));
    EXPECT_EQ(doc.getText("stock.StockStateName", 1), "\xCF\xD6\xBB\xF5");
    EXPECT_EQ(doc.getText("stock.jdPrice.p"), "12.90");
    EXPECT_EQ(doc.getText("stock.serviceInfo"), "");
    EXPECT_EQ(doc.getText("errCode"), "0");
    EXPECT_EQ(doc.getText("skuInfos[0].unionUrl"), "u");
    EXPECT_EQ(doc.getText("skuInfos[1].unionUrl"), "");
    EXPECT_EQ(doc.getText("skuInfos"), "");
    EXPECT_EQ(doc.getText("stock"), "");
    EXPECT_EQ(doc.getText("p"), "-1.50");
    EXPECT_EQ(doc.getReal("p"), -1.5);
    EXPECT_EQ(doc.getInt("p"), -1);
    EXPECT_EQ(doc.getText("a\\.b"), "1");
    EXPECT_EQ(doc.getText("a.b"), "2");
    EXPECT_EQ(doc.getText("Errcode"), "") << "names match case-sensitively";
    EXPECT_EQ(doc.getTextWide(u"stock.StockStateName"), u"\u73b0\u8d27");
    EXPECT_EQ(doc.getTextWide(u"missing"), u"");
}

TEST(JsonPath, RenderingByKind) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"n":null,"t":true,"f":false,"o":{"x":1},"e":"","s":"x"})"));
    EXPECT_EQ(doc.getText("n"), "");
    EXPECT_EQ(doc.getText("t"), "true");
    EXPECT_EQ(doc.getText("f"), "false");
    EXPECT_EQ(doc.getText("o"), "");
    EXPECT_EQ(doc.getText("e"), "");
    EXPECT_EQ(doc.getText(""), "");
    EXPECT_EQ(doc.getTextForm("t"), "true");
    EXPECT_EQ(doc.getTextForm("s"), "") << "strings have no text form";
    ASSERT_TRUE(doc.parse("12.50"));
    EXPECT_EQ(doc.getText(""), "12.50");
    EXPECT_EQ(doc.getTextFormWide(u""), u"12.50");
}

TEST(JsonPath, NeverParsedDocumentAnswersMissingAndStaysEmpty) {
    JsonDocument doc;
    EXPECT_EQ(doc.getText("a"), "");
    EXPECT_EQ(doc.getText(""), "");
    EXPECT_EQ(doc.getKind(""), JsonValueKind::Missing);
    EXPECT_EQ(doc.getCount(""), 0);
    EXPECT_FALSE(doc.getNode("a").isValid());
    EXPECT_FALSE(doc.isValid()) << "queries do not create a document";
    JsonNode nothing;
    EXPECT_EQ(nothing.getInt("x"), 0);
    EXPECT_FALSE(nothing.getParent().isValid());
}

TEST(JsonPath, StructureQueries) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"x":1,"y":2,"arr":[10,{"k":"v"}]})"));
    EXPECT_EQ(doc.getCount(""), 3);
    EXPECT_EQ(doc.getCount("arr"), 2);
    EXPECT_EQ(doc.getCount("x"), 0);
    EXPECT_EQ(doc.getElement("", 1).getText(), "2");
    EXPECT_EQ(doc.getText("[1]"), "2") << "an index on an object counts members";
    EXPECT_EQ(doc.getElement("arr", 1).getText("k"), "v");
    EXPECT_FALSE(doc.getElement("arr", 2).isValid());
    EXPECT_FALSE(doc.getElement("arr", -1).isValid());
    EXPECT_EQ(doc.getMember("arr[1]", "k").getText(), "v");
    EXPECT_FALSE(doc.getMember("arr", "k").isValid());
    EXPECT_FALSE(doc.getMember("", "arr[1]").isValid()) << "member names take no path syntax";
    EXPECT_EQ(doc.getMemberWide(u"", u"y").getInt(), 2);
    EXPECT_EQ(doc.getName("arr"), "arr");
    EXPECT_EQ(doc.getName("arr[0]"), "") << "array elements have no name";
    EXPECT_EQ(doc.getNameWide(u"y"), u"y");
    EXPECT_EQ(doc.getParent("arr[1].k").getParent().getName(), "arr");
    EXPECT_FALSE(doc.getParent("").isValid());
    EXPECT_EQ(doc.getParent("x").rawNode(), doc.rawNode());
    EXPECT_FALSE(doc.exists(""));
    EXPECT_TRUE(doc.exists("arr[1].k"));
    EXPECT_FALSE(doc.existsWide(u"arr[2]"));
    EXPECT_EQ(doc.getKind("arr"), JsonValueKind::Array);
    EXPECT_EQ(doc.getKindWide(u"arr[1]"), JsonValueKind::Object);
    EXPECT_EQ(doc.getKind("nothing"), JsonValueKind::Missing);

    TextList names{"stale"};
    EXPECT_EQ(doc.getMemberNames("", names), 3);
    EXPECT_EQ(names, (TextList{"x", "y", "arr"}));
    EXPECT_EQ(doc.getMemberNames("arr", names), 0);
    EXPECT_EQ(names.size(), 3u) << "untouched for a non-object";
    std::vector<std::u16string> wideNames;
    EXPECT_EQ(doc.getMemberNamesWide(u"arr[1]", wideNames), 1);
    EXPECT_EQ(wideNames, std::vector<std::u16string>{u"k"});

    std::vector<JsonNode> children;
    EXPECT_EQ(doc.getChildren("arr", children), 2);
    EXPECT_EQ(children[0].getText(), "10");
    EXPECT_EQ(children[1].rawNode(), doc.getElement("arr", 1).rawNode()) << "the child itself, no copy";
    EXPECT_EQ(doc.getChildren("x", children), 0);
    EXPECT_EQ(children.size(), 2u);
    EXPECT_EQ(doc.getChildrenWide(u"", children), 3);
}

TEST(JsonPath, WritingResolutionCreatesWhatIsMissing) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse("[]"));
    JsonNode n = doc.getNode("[3]");
    ASSERT_TRUE(n.isValid());
    EXPECT_EQ(doc.getCount(""), 4);
    EXPECT_EQ(doc.getKind("[2]"), JsonValueKind::Null);

    ASSERT_TRUE(doc.parse(R"({"a":"text","b":{"c":1}})"));
    EXPECT_TRUE(doc.getNode("a.x").isValid());
    EXPECT_EQ(doc.getKind("a"), JsonValueKind::Object) << "a name step turns the node into an object";
    EXPECT_EQ(doc.getKind("a.x"), JsonValueKind::Null);
    EXPECT_TRUE(doc.getNode("b[1]").isValid());
    EXPECT_EQ(doc.getKind("b"), JsonValueKind::Array) << "an index step turns it into an array";
    EXPECT_EQ(doc.getCount("b"), 2);
    EXPECT_EQ(doc.getNode("b.c[0]").rawNode(), doc.getNode("b.c[0]").rawNode());
    EXPECT_FALSE(doc.getNode("z[-1].q").isValid());
    EXPECT_FALSE(doc.exists("z.q"));
    EXPECT_EQ(doc.getNode("").rawNode(), doc.rawNode());
    // Padding is bounded: a huge index is refused rather than filled.
    EXPECT_FALSE(doc.getNode("big[2000000000]").isValid());
    EXPECT_LE(doc.getCount("big"), 1);
}

TEST(JsonPath, TypedReaders) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"big":4294967296,"four":4,"r":2.9,"tiny":0.00000001,"neg":-2.9,)"
                          R"("t":true,"s":" -12.5e1x","si":"  +42abc","st":"true","huge":"99999999999",)"
                          R"("nan":"x","o":{},"inf":1e400})"));
    EXPECT_FALSE(doc.getBool("big"));
    EXPECT_TRUE(doc.getBool("four"));
    EXPECT_EQ(doc.getInt("big"), 0);
    EXPECT_EQ(doc.getInt64("big"), 4294967296);
    EXPECT_TRUE(doc.getBool("r"));
    EXPECT_FALSE(doc.getBool("tiny"));
    EXPECT_EQ(doc.getInt("r"), 2);
    EXPECT_EQ(doc.getInt("neg"), -2);
    EXPECT_EQ(doc.getInt64("neg"), -2);
    EXPECT_TRUE(doc.getBool("t"));
    EXPECT_EQ(doc.getReal("t"), 1.0);
    EXPECT_EQ(doc.getInt("t"), 1);
    EXPECT_FALSE(doc.getBool("st"));
    EXPECT_EQ(doc.getReal("s"), -125.0);
    EXPECT_EQ(doc.getInt("si"), 42);
    EXPECT_EQ(doc.getInt64Wide(u"si"), 42);
    EXPECT_EQ(doc.getInt("huge"), 2147483647);
    EXPECT_EQ(doc.getInt64("huge"), 99999999999);
    EXPECT_EQ(doc.getReal("nan"), 0.0);
    EXPECT_EQ(doc.getRealWide(u"o"), 0.0);
    EXPECT_EQ(doc.getInt64("inf"), INT64_MAX);
    EXPECT_EQ(doc.getInt("missing"), 0);
    EXPECT_FALSE(doc.getBoolWide(u"missing"));
}

}  // namespace
}  // namespace jdsm
