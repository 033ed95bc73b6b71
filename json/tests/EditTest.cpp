// Serialisation, setters, builders, removal and document creation.

#include <gtest/gtest.h>

#include <string>

#include "json/JsonArena.h"
#include "json/JsonDocument.h"

namespace jdsm {
namespace {

TEST(JsonWrite, CompactEscapedAndRaw) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":"x/y","b":[1,2.50,true,null]})"));
    EXPECT_EQ(doc.toJson(""), R"({"a":"x\/y","b":[1,2.50,true,null]})");
    ASSERT_TRUE(doc.parse(R"({"q\"k":"a\\b\"c\r\n\t\b\f\u0001\u4e2d"})"));
    EXPECT_EQ(doc.toJsonWide(u""), u"{\"q\\\"k\":\"a\\\\b\\\"c\\r\\n\\t\\b\\f\u0001\u4e2d\"}")
        << "only the listed characters are escaped, never as u-escapes";
    EXPECT_EQ(doc.toJsonWide(u"", false, false), u"{\"q\"k\":\"a\\b\"c\r\n\t\b\f\u0001\u4e2d\"}");
    EXPECT_EQ(doc.toJson("missing"), "");
    EXPECT_EQ(doc.toJsonWide(u"missing"), u"");
    JsonDocument never;
    EXPECT_EQ(never.toJson(), "");
}

TEST(JsonWrite, PrettyForm) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":1,"b":[1,{"c":2}]})"));
    EXPECT_EQ(doc.toJson("", true), "{\r\n\t\"a\":1,\r\n\t\"b\":[1,{\r\n\t\t\t\"c\":2\r\n\t\t}]\r\n}");
    EXPECT_EQ(doc.toJson("b", true), "[1,{\r\n\t\t\"c\":2\r\n\t}]");
    ASSERT_TRUE(doc.parse("{}"));
    EXPECT_EQ(doc.toJson("", true), "{\r\n}");
}

TEST(JsonWrite, ScalarsClearedNumbersAndSmallInitialCapacity) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"n":-1E5,"s":"","e":[],"o":{}})"));
    EXPECT_EQ(doc.toJson("n"), "-1E5");
    EXPECT_EQ(doc.toJson("s"), "\"\"");
    doc.clear("n");
    EXPECT_EQ(doc.toJson("n"), "") << "a number without text form writes nothing";
    EXPECT_EQ(doc.toJson("", false, true, 1), R"({"n":,"s":"","e":[],"o":{}})");
}

TEST(JsonSet, SettersGiveValuesAndTextForms) {
    JsonDocument doc;
    ASSERT_TRUE(doc.create());
    EXPECT_TRUE(doc.setReal("x", 0.1));
    EXPECT_EQ(doc.getText("x"), "0.1");
    EXPECT_TRUE(doc.setReal("x", 2.0));
    EXPECT_EQ(doc.getText("x"), "2");
    EXPECT_TRUE(doc.setReal("x", 1.0 / 3));
    EXPECT_EQ(doc.getText("x"), "0.3333333333333");
    EXPECT_EQ(doc.getKind("x"), JsonValueKind::Real);
    EXPECT_TRUE(doc.setInt("i", -5));
    EXPECT_EQ(doc.getText("i"), "-5");
    EXPECT_TRUE(doc.setInt64Wide(u"big", INT64_MIN));
    EXPECT_EQ(doc.getText("big"), "-9223372036854775808");
    EXPECT_TRUE(doc.setBool("t", true));
    EXPECT_EQ(doc.toJson("t"), "true");
    EXPECT_TRUE(doc.setNull("t"));
    EXPECT_EQ(doc.getKind("t"), JsonValueKind::Null);
    EXPECT_TRUE(doc.setString("a.b", "\xCF\xD6\xBB\xF5"));  // 现货
    EXPECT_EQ(doc.getKind("a"), JsonValueKind::Object);
    EXPECT_EQ(doc.getTextWide(u"a.b"), u"\u73b0\u8d27");
    EXPECT_TRUE(doc.setStringWide(u"e", u""));
    EXPECT_EQ(doc.getKind("e"), JsonValueKind::String);

    ASSERT_TRUE(doc.parse(R"({"a":[1,2,3],"o":{"k":1}})"));
    EXPECT_TRUE(doc.setString("a", "s"));
    EXPECT_EQ(doc.toJson(), R"({"a":"s","o":{"k":1}})");
    EXPECT_TRUE(doc.setObject("o"));
    EXPECT_EQ(doc.getCount("o"), 1) << "an object stays as it is";
    EXPECT_TRUE(doc.setArray("o"));
    EXPECT_EQ(doc.toJson("o"), "[]");
    EXPECT_FALSE(doc.setInt("o[-1]", 1));

    EXPECT_TRUE(doc.setJson("o", R"({"p":[1,{"q":2}]})"));
    EXPECT_EQ(doc.getText("o.p[1].q"), "2");
    EXPECT_FALSE(doc.setJson("o", "[1,"));
    EXPECT_EQ(doc.getCount("o"), 0) << "a failed parse leaves the node cleared";
    EXPECT_TRUE(doc.setJsonWide(u"w", u"\"x\""));
    EXPECT_EQ(doc.getText("w"), "x");
}

TEST(JsonBuild, BuildersRemoversAndClear) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":1,"b":2})"));
    JsonNode c = doc.insertMember("", 0, "c", 2);
    ASSERT_TRUE(c.isValid());
    EXPECT_EQ(doc.toJson(), R"({"c":0,"a":1,"b":2})");
    EXPECT_TRUE(doc.insertMember("", 0, "b", 4).isValid());
    EXPECT_EQ(doc.toJson(), R"({"c":0,"a":1,"b":""})") << "a present name stays where it was";
    EXPECT_FALSE(doc.insertMember("", 9, "z", 0).isValid());
    EXPECT_FALSE(doc.exists("z"));
    EXPECT_TRUE(doc.addMemberWide(u"", u"arr", 5).isValid());
    EXPECT_TRUE(doc.appendElement("arr", 1).isValid());
    EXPECT_TRUE(doc.appendElementWide(u"arr", 3).isValid());
    EXPECT_TRUE(doc.insertElement("arr", 0, 6).isValid());
    EXPECT_TRUE(doc.insertElementWide(u"arr", 3, 0).isValid());
    EXPECT_FALSE(doc.insertElementWide(u"arr", 5, 0).isValid());
    EXPECT_FALSE(doc.insertElement("arr", -1, 0).isValid());
    EXPECT_EQ(doc.toJson("arr"), "[{},0,false,null]");
    EXPECT_EQ(doc.getParent("arr[0]").rawNode(), doc.getNode("arr").rawNode());
    EXPECT_FALSE(doc.addMember("", "bad", 7).isValid());
    EXPECT_FALSE(doc.exists("bad")) << "an unknown kind makes no member";

    EXPECT_TRUE(doc.removeMember("", "a"));
    EXPECT_EQ(doc.getCount(), 3);
    EXPECT_FALSE(doc.removeMember("", "a"));
    EXPECT_FALSE(doc.removeElement("arr", 4));
    EXPECT_TRUE(doc.removeElementWide(u"arr", 0));
    EXPECT_EQ(doc.toJson("arr"), "[0,false,null]");
    EXPECT_FALSE(doc.removeMember("arr", "x"));
    EXPECT_EQ(doc.toJson(), R"({"c":0,"b":"","arr":[0,false,null]})");

    doc.clear("arr");
    EXPECT_EQ(doc.getKind("arr"), JsonValueKind::Array);
    EXPECT_EQ(doc.getCount("arr"), 0);
    doc.clearWide(u"");
    EXPECT_EQ(doc.toJson(), "{}");
}

// A document whose builders make strings "new" instead of the kind asked for.
class StringBuilderDocument : public JsonDocument {
  public:
    intptr_t newNode(int32_t kind) override {
        const intptr_t n = JsonDocument::newNode(4);
        if (kind == 4 || !n) return n;
        JsonNode handle;
        handle.setRawNode(n);
        handle.setString("", "new");
        return n;
    }
};

TEST(JsonBuild, BuildersTakeTheirNodesFromAnOverriddenNewNode) {
    StringBuilderDocument doc;
    ASSERT_TRUE(doc.create());
    EXPECT_TRUE(doc.addMember("", "x", 2).isValid());
    EXPECT_TRUE(doc.appendElement("list", 0).isValid());
    EXPECT_EQ(doc.toJson(), R"({"x":"new","list":["new"]})");
}

TEST(JsonBuild, NewNodeKinds) {
    JsonDocument doc;
    EXPECT_EQ(doc.newNode(0), 0) << "no document, no node";
    ASSERT_TRUE(doc.create());
    const char* expected[] = {"null", "0", "0", "false", "\"\"", "[]", "{}"};
    for (int32_t kind = 0; kind <= 6; ++kind) {
        JsonNode n;
        n.setRawNode(doc.newNode(kind));
        ASSERT_TRUE(n.isValid()) << kind;
        EXPECT_EQ(static_cast<int32_t>(n.getKind()), kind);
        EXPECT_EQ(n.toJson(), expected[kind]);
        EXPECT_FALSE(n.getParent().isValid());
    }
    EXPECT_EQ(doc.newNode(-1), 0);
    EXPECT_EQ(doc.newNode(7), 0);
}

TEST(JsonCreate, CreateReplacesOrKeepsTheDocument) {
    JsonDocument doc;
    int32_t status = 0;
    EXPECT_TRUE(doc.create(std::nullopt, 1, &status));
    EXPECT_EQ(doc.toJson(), "{}");
    status = 5;
    EXPECT_FALSE(doc.create(std::nullopt, 1, &status)) << "without a text the caller's status decides";
    EXPECT_TRUE(doc.create(R"({"a":1})", 1, &status));
    EXPECT_EQ(status, 0);
    int32_t position = 0;
    EXPECT_FALSE(doc.createWide(u"[1", 1, &status, &position));
    EXPECT_EQ(status, -5);
    EXPECT_EQ(position, 3);
    ASSERT_TRUE(doc.create(R"({"keep":1})"));
    json_detail::Arena::setLimitForNewArenas(1);
    EXPECT_FALSE(doc.create(R"({"new":1})", 1, &status));
    json_detail::Arena::setLimitForNewArenas(0);
    EXPECT_EQ(status, -3);
    EXPECT_EQ(doc.getText("keep"), "1") << "the old document stays";
}

TEST(JsonCreate, SetRawNodeNeverMovesOwnership) {
    auto doc = std::make_unique<JsonDocument>();
    ASSERT_TRUE(doc->parse(R"({"a":{"b":1}})"));
    JsonDocument other;
    ASSERT_TRUE(other.parse(R"({"x":2})"));
    doc->setRawNode(other.getNode("x").rawNode());
    EXPECT_EQ(doc->getText(), "2");
    doc.reset();  // frees its own tree, not the other document's
    EXPECT_EQ(other.getText("x"), "2");
}

}  // namespace
}  // namespace jdsm
