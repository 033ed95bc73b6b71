// The member table and element list behind objects and arrays, releasing and clearing.

#include <gtest/gtest.h>

#include <string>

#include "json/JsonDocument.h"
#include "json/JsonModel.h"

namespace jdsm {
namespace {

using namespace json_detail;

Node* nodeOf(const JsonNode& n) {
    return reinterpret_cast<Node*>(n.rawNode());
}

TEST(JsonModel, NameHashIsOverLittleEndianBytes) {
    // "ab": bytes 61 00 62 00 -> 0x61 + 0 * 31 + 0x62 * 31^2 + 0 * 31^3.
    EXPECT_EQ(hashName(u"ab", 2), 0x61u + 0x62u * 961u);
    // A unit above 0xFF contributes its high byte too: U+4E2D -> 0x2D + 0x4E * 31.
    EXPECT_EQ(hashName(u"\u4e2d", 1), 0x2Du + 0x4Eu * 31u);
    EXPECT_EQ(hashName(u"", 0), 0u);
}

TEST(JsonModel, TableGrowsAt9thAnd18thMemberKeepingOrder) {
    JsonDocument doc;
    std::string text = "{";
    for (int i = 0; i < 18; ++i)
        text += (i ? ",\"m" : "\"m") + std::to_string(i) + "\":" + std::to_string(i);
    std::string partial = text;
    JsonDocument small;
    ASSERT_TRUE(small.parse(R"({"m0":0,"m1":1,"m2":2,"m3":3,"m4":4,"m5":5,"m6":6,"m7":7})"));
    EXPECT_EQ(nodeOf(small)->value.map->bucketCount, 11u);
    EXPECT_EQ(nodeOf(small)->value.map->growThreshold, 8u);
    ASSERT_TRUE(small.parse(R"({"m0":0,"m1":1,"m2":2,"m3":3,"m4":4,"m5":5,"m6":6,"m7":7,"m8":8})"));
    EXPECT_EQ(nodeOf(small)->value.map->bucketCount, 23u);
    EXPECT_EQ(nodeOf(small)->value.map->growThreshold, 17u);
    ASSERT_TRUE(doc.parse(text + "}"));
    const MemberMap* map = nodeOf(doc)->value.map;
    EXPECT_EQ(map->bucketCount, 47u);
    EXPECT_EQ(map->memberCount, 18u);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(doc.getName("[" + std::to_string(i) + "]"), "m" + std::to_string(i));
        EXPECT_EQ(doc.getInt("m" + std::to_string(i)), i);
    }
}

TEST(JsonModel, DuplicateNamesReplaceInPlace) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":{"deep":[1,2]},"b":2,"a":"last","A":3})"));
    const MemberMap* map = nodeOf(doc)->value.map;
    EXPECT_EQ(map->memberCount, 3u);
    EXPECT_EQ(map->order.count, 3u);
    EXPECT_EQ(doc.getName("[0]"), "a");
    EXPECT_EQ(doc.getText("[0]"), "last");
    EXPECT_EQ(doc.getText("A"), "3") << "names differing in case are different members";
    EXPECT_EQ(doc.getParent("a").rawNode(), doc.rawNode());
}

TEST(JsonModel, NumericMembersKeepFull64BitsWhateverShareTheirBucket) {
    // Enough members that every bucket holds a chain.
    std::string text = "{";
    for (int i = 0; i < 40; ++i) {
        text += (i ? "," : "") + std::string("\"k") + std::to_string(i) +
                "\":" + std::to_string(0x7FFFFFFFFFFFFF00LL + i);
    }
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(text + "}"));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(doc.getInt64("k" + std::to_string(i)), 0x7FFFFFFFFFFFFF00LL + i);
}

TEST(JsonModel, ClearKeepsTheTableReleaseDropsIt) {
    JsonDocument doc;
    ASSERT_TRUE(
        doc.parse(R"({"o":{"m0":0,"m1":1,"m2":2,"m3":3,"m4":4,"m5":5,"m6":6,"m7":7,"m8":[8]},"s":"x"})"));
    Node* o = nodeOf(doc.getNode("o"));
    clearNode(o);
    EXPECT_EQ(o->kind, kObject);
    ASSERT_NE(o->value.map, nullptr);
    EXPECT_EQ(o->value.map->bucketCount, 23u);
    EXPECT_EQ(o->value.map->memberCount, 0u);
    EXPECT_EQ(doc.getCount("o"), 0);
    EXPECT_FALSE(doc.exists("o.m1"));
    Node* s = nodeOf(doc.getNode("s"));
    clearNode(s);
    EXPECT_EQ(s->kind, kString);
    EXPECT_EQ(doc.getText("s"), "");
    releasePayload(o);
    EXPECT_EQ(o->kind, kObject);
    EXPECT_EQ(o->value.map, nullptr);
    EXPECT_EQ(doc.getCount("o"), 0);
}

TEST(JsonModel, ListsInsertRemoveAndGrowBy2nPlus1) {
    Arena* pool = Arena::create();
    ASSERT_NE(pool, nullptr);
    NodeList list{};
    ASSERT_TRUE(listInit(pool, &list));
    Node* nodes[20];
    for (auto& n : nodes)
        n = createNode(pool, kNull);
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(listAppend(&list, nodes[i]));
    EXPECT_EQ(list.capacity, 17u);
    ASSERT_TRUE(listInsert(&list, 0, nodes[10]));
    ASSERT_TRUE(listInsert(&list, list.count, nodes[11]));
    EXPECT_FALSE(listInsert(&list, list.count + 1, nodes[12]));
    EXPECT_EQ(listAt(&list, 0), nodes[10]);
    EXPECT_EQ(listAt(&list, 1), nodes[0]);
    EXPECT_EQ(listAt(&list, 10), nodes[11]);
    EXPECT_EQ(listAt(&list, 11), nullptr);
    EXPECT_EQ(listAt(&list, -1), nullptr);
    EXPECT_EQ(listRemove(&list, 0), nodes[10]);
    EXPECT_EQ(listAt(&list, 0), nodes[0]);
    EXPECT_EQ(listRemove(&list, list.count), nullptr);
    Arena::destroy(pool);
}

TEST(JsonModel, CloseAndParseAgainMakesAFreshDocument) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":1})"));
    doc.close();
    EXPECT_FALSE(doc.isValid());
    EXPECT_EQ(doc.getText("a"), "");
    ASSERT_TRUE(doc.parse(R"({"b":2})"));
    EXPECT_FALSE(doc.exists("a"));
    EXPECT_EQ(doc.getText("b"), "2");
    JsonDocument moved = std::move(doc);
    EXPECT_FALSE(doc.isValid());
    EXPECT_EQ(moved.getText("b"), "2");
}

}  // namespace
}  // namespace jdsm
