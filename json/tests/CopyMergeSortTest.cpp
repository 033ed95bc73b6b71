// Deep copies across documents, merging and sorting.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "json/JsonDocument.h"
#include "text/CodePage.h"

namespace jdsm {
namespace {

TEST(JsonCopy, CopiesGetFreshTextFormsAndSurviveTheSource) {
    auto source = std::make_unique<JsonDocument>();
    ASSERT_TRUE(source->parse(R"({"n":1.50,"i":-0,"t":true,"s":"x","a":[1,{"k":[null]}]})"));
    const std::string before = source->toJson().str();
    JsonDocument dest;
    ASSERT_TRUE(dest.create());
    EXPECT_TRUE(dest.addMemberCopy("", "copy", *source));
    EXPECT_TRUE(dest.addMemberCopyWide(u"", u"n", source->getNode("n")));
    EXPECT_FALSE(dest.addMemberCopy("", "none", JsonNode()));
    EXPECT_FALSE(dest.exists("none"));
    EXPECT_EQ(source->toJson().str(), before) << "the source is untouched";
    source.reset();
    EXPECT_EQ(dest.toJson(), R"({"copy":{"n":1.5,"i":0,"t":true,"s":"x","a":[1,{"k":[null]}]},"n":1.5})");
    EXPECT_EQ(dest.getParent("copy.a[1].k").getParent().getParent().getName(), "copy");
}

// Copies and setters make a real's text form from its value; for an infinity (a parsed 1e400 is one)
// that used to be "inf", which made the written document unreadable.
TEST(JsonCopy, InfiniteRealsWriteAsNumbersTheReaderTakesBack) {
    JsonDocument source;
    ASSERT_TRUE(source.parse(R"({"up":1e400,"down":-1e400,"small":1e-400})"));
    JsonDocument doc;
    ASSERT_TRUE(doc.create());
    ASSERT_TRUE(doc.addMemberCopy("", "copy", source));
    ASSERT_TRUE(doc.setReal("set", -HUGE_VAL));
    const Text written = doc.toJson();
    JsonDocument again;
    ASSERT_TRUE(again.parse(written)) << written;
    const struct {
        const char* path;
        double value;
    } cases[] = {{"copy.up", HUGE_VAL}, {"copy.down", -HUGE_VAL}, {"copy.small", 0.0}, {"set", -HUGE_VAL}};
    for (const auto& c : cases) {
        EXPECT_EQ(doc.getReal(c.path), c.value) << c.path;
        EXPECT_EQ(again.getReal(c.path), c.value) << c.path;
    }
    EXPECT_EQ(again.toJson(), written);
}

TEST(JsonCopy, CloneAndSetElementCopy) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"r":1.50,"arr":["a","b"]})"));
    JsonNode c = doc.clone("r");
    ASSERT_TRUE(c.isValid());
    EXPECT_EQ(c.getText(), "1.5");
    EXPECT_FALSE(c.getParent().isValid());
    EXPECT_EQ(doc.getText("r"), "1.50");
    EXPECT_TRUE(doc.setElementCopy("arr", 5, c));
    EXPECT_EQ(doc.toJson("arr"), R"(["a","b",null,null,null,1.5])");
    EXPECT_TRUE(doc.setElementCopyWide(u"arr", 0, doc.getNode("arr[1]")));
    EXPECT_EQ(doc.toJson("arr"), R"(["b","b",null,null,null,1.5])");
    EXPECT_FALSE(doc.setElementCopy("arr", -1, c));
    EXPECT_FALSE(doc.setElementCopy("arr", 1, JsonNode()));
    // A copy of a node into its own subtree is complete before it is attached.
    EXPECT_TRUE(doc.setElementCopy("arr", 6, doc));
    EXPECT_EQ(doc.toJson("arr[6].arr[0]"), R"("b")");
    EXPECT_EQ(doc.getCount("arr[6].arr"), 6);
}

TEST(JsonCopy, MergeObjectAndAppendAll) {
    JsonDocument a, b;
    ASSERT_TRUE(a.parse(R"({"x":1,"list":[1]})"));
    ASSERT_TRUE(b.parse(R"({"y":2,"x":3,"more":[2,3]})"));
    EXPECT_TRUE(a.mergeObject("", b));
    EXPECT_EQ(a.toJson(), R"({"x":3,"list":[1],"y":2,"more":[2,3]})");
    EXPECT_TRUE(a.appendAll("list", b.getNode("more")));
    EXPECT_TRUE(a.appendAll("list", a.getNode("list")));
    EXPECT_EQ(a.toJson("list"), "[1,2,3,1,2,3]");
    EXPECT_FALSE(a.appendAll("list", b));
    EXPECT_FALSE(a.mergeObject("", b.getNode("more")));
    EXPECT_TRUE(a.mergeObject("", a));
    EXPECT_EQ(a.getCount(), 4);
}

TEST(JsonMerge, ObjectsMergeMemberByMemberOtherValuesReplace) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":{"y":3}})"));
    EXPECT_TRUE(doc.mergeJson("", R"({"a":{"x":1},"n":2})", 1, true));
    EXPECT_EQ(doc.toJson(), R"({"a":{"y":3,"x":1},"n":2})");
    ASSERT_TRUE(doc.parse(R"({"a":{"y":3}})"));
    EXPECT_FALSE(doc.mergeJson("", R"({"a":{"x":1},"n":2})", 1, false));
    EXPECT_EQ(doc.toJson(), R"({"a":{"y":3}})");
    EXPECT_TRUE(doc.mergeJson("", R"({"a":5})", 1, false));
    EXPECT_EQ(doc.toJson(), R"({"a":5})");
    EXPECT_FALSE(doc.mergeJson("", "[1]", 1, true)) << "the root has no parent to be replaced in";
    EXPECT_FALSE(doc.mergeJson("", "{bad", 1, true));
    EXPECT_EQ(doc.toJson(), R"({"a":5})");
    EXPECT_TRUE(doc.mergeJsonWide(u"a", u"[1,2.50]", 1, true));
    EXPECT_EQ(doc.toJson(), R"({"a":[1,2.50]})");
    ASSERT_TRUE(doc.parse(R"({"d":{"e":{"f":1}}})"));
    EXPECT_TRUE(doc.mergeJson("", R"({"d":{"e":{"g":2.50}}})", 1, true));
    EXPECT_EQ(doc.toJson(), R"({"d":{"e":{"f":1,"g":2.5}}})");
}

TEST(JsonSort, MembersByNameAndElementsWithACallback) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"ant":1,"cat":2,"bee":3})"));
    EXPECT_TRUE(doc.sortMembers("", 1, false));
    EXPECT_EQ(doc.toJson(), R"({"cat":2,"bee":3,"ant":1})");
    EXPECT_EQ(doc.getText("ant"), "1") << "lookups are unaffected";
    EXPECT_TRUE(doc.sortMembersWide(u"", 2, false));  // only the low bit counts: ascending
    EXPECT_EQ(doc.toJson(), R"({"ant":1,"bee":3,"cat":2})");
    EXPECT_FALSE(doc.sortMembers("ant", 0, false));

    ASSERT_TRUE(doc.parse(R"({"b":1,"B":2,"a":3,"C":4})"));
    EXPECT_TRUE(doc.sortMembers("", 0, true));
    EXPECT_EQ(doc.getName("[0]"), "a");
    EXPECT_EQ(doc.getName("[3]"), "C");

    ASSERT_TRUE(doc.parse("[5,3,9,1,7,3,8,2,6,4,0]"));
    int calls = 0;
    doc.sortWith(
        "",
        [](intptr_t a, intptr_t b, void* context) {
            ++*static_cast<int*>(context);
            JsonNode x, y;
            x.setRawNode(a);
            y.setRawNode(b);
            return static_cast<int>(x.getInt() - y.getInt());
        },
        &calls);
    EXPECT_EQ(doc.toJson(), "[0,1,2,3,3,4,5,6,7,8,9]");
    EXPECT_GT(calls, 0);
    doc.sortWithWide(u"", nullptr, nullptr);  // no order: left alone
    EXPECT_EQ(doc.getCount(), 11);
}

TEST(JsonSort, LargeAndAdversarialInputsSortWithoutDeepRecursion) {
    JsonDocument doc;
    std::string text = "[";
    for (int i = 0; i < 200000; ++i)
        text += (i ? "," : "") + std::to_string(i % 2 ? i : 200000 - i);
    ASSERT_TRUE(doc.parse(text + "]"));
    doc.sortWith(
        "",
        [](intptr_t a, intptr_t b, void*) {
            JsonNode x, y;
            x.setRawNode(a);
            y.setRawNode(b);
            return x.getInt() < y.getInt() ? -1 : x.getInt() > y.getInt() ? 1 : 0;
        },
        nullptr);
    for (int i = 1; i < 200000; i += 997)
        EXPECT_LE(doc.getInt("[" + std::to_string(i - 1) + "]"), doc.getInt("[" + std::to_string(i) + "]"));
}

TEST(JsonDeep, HundredThousandLevelsWriteCopyAndMerge) {
    const int depth = 100000;
    JsonDocument doc;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "{\"a\":[";
    text += "1";
    for (int i = 0; i < depth; ++i)
        text += "]}";
    ASSERT_TRUE(doc.parse(text));
    EXPECT_EQ(doc.toJson().str(), text);
    JsonDocument other;
    ASSERT_TRUE(other.create());
    EXPECT_TRUE(other.addMemberCopy("", "deep", doc));
    EXPECT_TRUE(other.mergeJson("", "{\"deep\":" + text + "}", 1, true));
    EXPECT_EQ(other.toJson("deep").str(), text);
}

std::string readCorpus(const char* name) {
    const char* dir = std::getenv("JDSM_CORPUS_DIR");
    if (!dir) return {};
    std::ifstream in(std::string(dir) + "/json/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(JsonCorpusRoundTrip, WriteAndParseAgainGivesTheSameTree) {
    for (const char* name : {"canada.json", "citm_catalog.json", "twitter.json"}) {
        const std::string utf8 = readCorpus(name);
        if (utf8.empty()) GTEST_SKIP() << "corpus not found (JDSM_CORPUS_DIR)";
        JsonDocument first;
        ASSERT_TRUE(first.parseWide(codepage::utf8ToWide(utf8))) << name;
        const std::u16string written = first.toJsonWide(u"");
        JsonDocument second;
        ASSERT_TRUE(second.parseWide(written)) << name;
        EXPECT_EQ(second.toJsonWide(u""), written) << name;
        EXPECT_EQ(second.toJsonWide(u"", true), first.toJsonWide(u"", true)) << name;

        // A copy in another document outlives the original and writes the same, numbers aside.
        auto source = std::make_unique<JsonDocument>();
        ASSERT_TRUE(source->parseWide(written));
        JsonDocument dest;
        ASSERT_TRUE(dest.create());
        ASSERT_TRUE(dest.addMemberCopy("", "c", *source));
        EXPECT_EQ(source->toJsonWide(u""), written) << "the source is untouched";
        source.reset();
        EXPECT_EQ(dest.getCount("c"), first.getCount());
        JsonDocument again;
        ASSERT_TRUE(again.parseWide(dest.toJsonWide(u"c")));
        EXPECT_EQ(again.toJsonWide(u""), dest.toJsonWide(u"c"));
    }
}

}  // namespace
}  // namespace jdsm
