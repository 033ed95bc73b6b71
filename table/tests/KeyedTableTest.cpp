#include "table/KeyedTable.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <thread>

namespace jdsm {
namespace {

constexpr int32_t kInt = 3, kText = 10, kBytes = 11;

std::vector<TableItem> ints(std::initializer_list<int32_t> list) {
    return {list.begin(), list.end()};
}

std::vector<TableItem> keysOf(const KeyedTable& t) {
    std::vector<TableItem> out;
    t.keys(out);
    return out;
}

TEST(KeyedTable, AnnouncementMemoryRoundOfSetGetClear) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    TypedValue v = t.get(Text("x"));
    EXPECT_EQ(v.payload, 0u);
    EXPECT_EQ(v.code, TypeCode::Int);
    EXPECT_TRUE(v.isZero());

    EXPECT_EQ(t.set(Text("x"), 1), 0);
    EXPECT_EQ(t.set(Text("x"), 1), 1);
    EXPECT_EQ(t.get(Text("x")).payload, 1u);
    EXPECT_FALSE(t.get(Text("x")).isZero());
    EXPECT_EQ(t.count(), 1);

    t.clear();
    EXPECT_EQ(t.count(), 0);
    EXPECT_TRUE(t.get(Text("x")).isZero());
    EXPECT_EQ(t.bucketCount(), 11);
    EXPECT_EQ(t.set(Text("x"), 1), 0);  // usable again after clearing
}

TEST(KeyedTable, TextKeysAreCaseSensitiveAndEmptyIsAKey) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    EXPECT_EQ(t.set(Text("A"), 1), 0);
    EXPECT_EQ(t.set(Text("a"), 2), 0);
    EXPECT_EQ(t.set(Text(""), 3), 0);
    EXPECT_EQ(t.count(), 3);
    EXPECT_EQ(t.get(Text("A")).payload, 1u);
    EXPECT_EQ(t.get(Text("a")).payload, 2u);
    EXPECT_EQ(t.get(Text()).payload, 3u);
}

TEST(KeyedTable, TextHashRunsFromTheLastByteUnsigned) {
    EXPECT_EQ(KeyedTable::textHash("ab"), 3135u);
    EXPECT_EQ(KeyedTable::textHash("ba"), 3105u);
    EXPECT_EQ(KeyedTable::textHash(""), 0u);
    EXPECT_EQ(KeyedTable::textHash("\xFF"), 255u);
    EXPECT_EQ(KeyedTable::textHash("\xCF\xD6"), 0xD6u * 31 + 0xCF);

    // "ab" lands in bucket 0 and "ba" in bucket 3 of a default table, whatever the insertion order.
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    t.set(Text("ba"), 1);
    t.set(Text("ab"), 2);
    EXPECT_EQ(keysOf(t), (std::vector<TableItem>{Text("ab"), Text("ba")}));
}

TEST(KeyedTable, GrowsToTwiceAndOneWhenTheThresholdIsReached) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kInt));
    for (int32_t k = 0; k < 8; ++k)
        t.set(k, k);
    EXPECT_EQ(t.bucketCount(), 11);
    EXPECT_EQ(t.set(3, 30), 1);  // replacing at the threshold never grows
    EXPECT_EQ(t.bucketCount(), 11);
    t.set(8, 8);
    EXPECT_EQ(t.bucketCount(), 23);
    for (int32_t k = 9; k < 17; ++k)
        t.set(k, k);
    EXPECT_EQ(t.bucketCount(), 23);
    t.set(17, 17);
    EXPECT_EQ(t.bucketCount(), 47);
    EXPECT_EQ(t.count(), 18);
    for (int32_t k = 0; k < 18; ++k)
        EXPECT_EQ(t.get(k).payload, static_cast<uint32_t>(k == 3 ? 30 : k)) << k;
}

TEST(KeyedTable, ChainsTakeNewEntriesAtTheHeadAndGrowthRelinksThemReversed) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kInt));
    // 0 and 253 share bucket 0 with 11 buckets and with 23.
    t.set(0, 0);
    t.set(253, 0);
    for (int32_t k = 1; k <= 6; ++k)
        t.set(k, 0);
    EXPECT_EQ(keysOf(t), ints({253, 0, 1, 2, 3, 4, 5, 6}));
    t.set(7, 0);
    ASSERT_EQ(t.bucketCount(), 23);
    EXPECT_EQ(keysOf(t), ints({0, 253, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(KeyedTable, NegativeAndExtremeIntegerKeys) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kInt));
    const int32_t keys[] = {-1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 0};
    for (int32_t k : keys)
        EXPECT_EQ(t.set(k, k / 2), 0);
    for (int32_t k : keys)
        EXPECT_EQ(static_cast<int32_t>(t.get(k).payload), k / 2);
    EXPECT_EQ(t.get(-1).number(), 0);
    EXPECT_EQ(t.get(std::numeric_limits<int32_t>::min()).number(), std::numeric_limits<int32_t>::min() / 2);
}

TEST(KeyedTable, CreateRefusalsKeepThePreviousStore) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    t.set(Text("kept"), 1);
    struct Case {
        int32_t keyKind, valueKind;
        std::optional<int32_t> buckets;
        std::optional<float> loadFactor;
    };
    const Case refused[] = {
        {kText, kInt, -1, std::nullopt},
        {kText, kInt, 11, 0.0f},
        {kText, kInt, 11, 1e-8f},
        {kText, kInt, 11, -1.0f},
        {kText, kInt, 11, std::nanf("")},
        {5, kInt, std::nullopt, std::nullopt},
        {kText, 4, std::nullopt, std::nullopt},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(t.create(c.keyKind, c.valueKind, c.buckets, c.loadFactor));
        EXPECT_EQ(t.get(Text("kept")).payload, 1u);
        EXPECT_EQ(t.count(), 1);
    }
}

TEST(KeyedTable, ZeroBucketsBecomeOneAndOtherLoadFactorsSetTheThreshold) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kInt, 0));
    EXPECT_EQ(t.bucketCount(), 1);
    t.set(1, 1);  // threshold 0: grows to 3 first
    EXPECT_EQ(t.bucketCount(), 3);
    EXPECT_EQ(t.get(1).payload, 1u);

    ASSERT_TRUE(t.create(kInt, kInt, 10, 0.7f));  // threshold 7
    for (int32_t k = 0; k < 7; ++k)
        t.set(k, k);
    EXPECT_EQ(t.bucketCount(), 10);
    t.set(7, 7);
    EXPECT_EQ(t.bucketCount(), 21);

    ASSERT_TRUE(t.create(kInt, kInt, 2, std::numeric_limits<float>::infinity()));
    for (int32_t k = 0; k < 100; ++k)
        t.set(k, k);
    EXPECT_EQ(t.bucketCount(), 2);
    EXPECT_EQ(t.count(), 100);
    EXPECT_EQ(t.get(99).payload, 99u);
}

TEST(KeyedTable, HandleThatIsNotCreated) {
    KeyedTable t;
    EXPECT_FALSE(t.isCreated());
    EXPECT_EQ(t.set(Text("x"), 1), -1);
    EXPECT_EQ(t.count(), 0);
    EXPECT_EQ(t.bucketCount(), 0);
    const TypedValue v = t.get(Text("x"));
    EXPECT_EQ(v.payload, 0u);
    EXPECT_EQ(v.code, TypeCode::Int);
    EXPECT_TRUE(v.isZero());
    EXPECT_FALSE(t.containsKey(Text("x")));
    EXPECT_FALSE(t.containsValue(1));
    EXPECT_FALSE(t.remove(Text("x")));
    std::vector<TableItem> out = ints({42});
    EXPECT_EQ(t.keys(out), 0);
    EXPECT_EQ(t.keysOf(1, out), 0);
    EXPECT_EQ(t.values(out), 0);
    EXPECT_EQ(out, ints({42}));  // left as it was
    EXPECT_TRUE(t.toBytes().empty());
    int calls = 0;
    t.forEach([&](const TableItem&, const TableItem&, int32_t) { return ++calls, 0; });
    EXPECT_EQ(calls, 0);
    t.clear();
    t.destroy();
    EXPECT_FALSE(t.isCreated());
}

TEST(KeyedTable, ItemsOfAnotherKindAreNeverStoredOrFound) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    t.set(Text("1"), 1);
    EXPECT_EQ(t.set(1, 1), -1);
    EXPECT_EQ(t.set(Text("x"), Text("1")), -1);
    EXPECT_EQ(t.set(Text("x"), Bytes{'1'}), -1);
    EXPECT_EQ(t.count(), 1);
    EXPECT_FALSE(t.containsKey(Bytes{'1'}));
    EXPECT_FALSE(t.containsKey(1));
    EXPECT_TRUE(t.get(Bytes{'1'}).isZero());
    EXPECT_FALSE(t.containsValue(Text("1")));
    EXPECT_FALSE(t.remove(1));
}

TEST(KeyedTable, TextAndBytesValuesComeAsOwnedCopies) {
    KeyedTable texts;
    ASSERT_TRUE(texts.create(kInt, kText));
    texts.set(7, Text("\xCF\xD6\xBB\xF5"));
    TypedValue v = texts.get(7);
    EXPECT_EQ(v.code, TypeCode::Text);
    EXPECT_EQ(v.payload, 0u);
    EXPECT_EQ(v.text, "\xCF\xD6\xBB\xF5");
    EXPECT_EQ(v.number(), 0);
    v.text += "changed";
    EXPECT_EQ(texts.get(7).text, "\xCF\xD6\xBB\xF5");
    EXPECT_EQ(texts.get(8).code, TypeCode::Text);
    EXPECT_TRUE(texts.get(8).text.empty());

    KeyedTable bytes;
    ASSERT_TRUE(bytes.create(kBytes, kBytes));
    const Bytes withZeros{0, 1, 0, 2};
    bytes.set(Bytes{'k', 0}, withZeros);
    EXPECT_EQ(bytes.get(Bytes{'k', 0}).bytes, withZeros);
    EXPECT_EQ(bytes.get(Bytes{'k', 0}).code, TypeCode::Bytes);
    EXPECT_FALSE(bytes.containsKey(Bytes{'k'}));  // same hash, other length
    EXPECT_EQ(bytes.get(Bytes{'k'}).code, TypeCode::Bytes);
}

TEST(KeyedTable, RemoveUnlinksFromAnyPlaceInAChain) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kInt));
    t.set(0, 0);
    t.set(11, 1);
    t.set(22, 2);  // one chain: 22, 11, 0
    t.set(5, 5);   // alone in its bucket
    EXPECT_TRUE(t.remove(11));
    EXPECT_EQ(keysOf(t), ints({22, 0, 5}));
    EXPECT_TRUE(t.remove(22));
    EXPECT_EQ(keysOf(t), ints({0, 5}));
    EXPECT_TRUE(t.remove(5));
    EXPECT_FALSE(t.containsKey(5));
    EXPECT_EQ(keysOf(t), ints({0}));
    EXPECT_FALSE(t.remove(5));
    EXPECT_FALSE(t.remove(99));
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.set(5, 6), 0);
    EXPECT_EQ(t.get(5).payload, 6u);
}

TEST(KeyedTable, ListsAndSearchesInEnumerationOrder) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kText));
    t.set(1, Text("odd"));
    t.set(2, Text("even"));
    t.set(12, Text("odd"));  // shares bucket 1 with key 1, ahead of it
    t.set(3, Text(""));

    std::vector<TableItem> out;
    EXPECT_EQ(t.keysOf(Text("odd"), out), 2);
    EXPECT_EQ(out, ints({12, 1}));
    EXPECT_EQ(t.keysOf(Text("none"), out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(t.values(out), 4);
    EXPECT_EQ(out, (std::vector<TableItem>{Text("odd"), Text("odd"), Text("even"), Text("")}));
    EXPECT_TRUE(t.containsValue(Text("")));
    EXPECT_TRUE(t.containsValue(Text("even")));
    EXPECT_FALSE(t.containsValue(Text("Even")));
    EXPECT_TRUE(t.containsKey(12));
}

TEST(KeyedTable, ForEachPassesStoredItemsAndStopsOnNonZero) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    t.set(Text("ab"), 1);
    t.set(Text("ba"), 2);
    std::vector<std::pair<Text, int32_t>> seen;
    t.forEach(
        [&](const TableItem& k, const TableItem& v, int32_t p) {
            EXPECT_EQ(p, 9);
            seen.emplace_back(std::get<Text>(k), std::get<int32_t>(v));
            return 0;
        },
        9);
    EXPECT_EQ(seen, (std::vector<std::pair<Text, int32_t>>{{"ab", 1}, {"ba", 2}}));

    int calls = 0;
    t.forEach([&](const TableItem&, const TableItem&, int32_t) { return ++calls, 1; });
    EXPECT_EQ(calls, 1);
}

TEST(KeyedTable, CopiedHandlesShareOneStore) {
    KeyedTable a;
    ASSERT_TRUE(a.create(kText, kInt));
    KeyedTable b = a;
    b.set(Text("x"), 1);
    a.set(Text("y"), 2);
    EXPECT_EQ(a.get(Text("x")).payload, 1u);
    EXPECT_EQ(b.get(Text("y")).payload, 2u);
    a.destroy();
    EXPECT_FALSE(a.isCreated());
    EXPECT_EQ(b.count(), 2);

    KeyedTable c;
    c = b;
    c = c;  // self-assignment keeps the reference
    KeyedTable d = std::move(c);
    EXPECT_FALSE(c.isCreated());  // NOLINT(bugprone-use-after-move): a moved-from handle is not created
    b.destroy();
    EXPECT_EQ(d.get(Text("y")).payload, 2u);

    // Re-creating through one handle gives it a store of its own.
    KeyedTable e = d;
    ASSERT_TRUE(e.create(kText, kInt));
    EXPECT_EQ(e.count(), 0);
    EXPECT_EQ(d.count(), 2);
}

TEST(KeyedTable, HandlesCopiedAndDroppedOnManyThreads) {
    KeyedTable shared;
    ASSERT_TRUE(shared.create(kText, kText));
    shared.set(Text("k"), Text("v"));
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([copy = shared] {
            for (int n = 0; n < 2000; ++n) {
                KeyedTable local = copy;
                KeyedTable moved = std::move(local);
                moved.destroy();
            }
        });
    }
    shared.destroy();  // the threads' copies keep the store alive
    for (auto& t : threads)
        t.join();
}

TEST(TypedValue, NumericReadingByTypeCode) {
    struct Case {
        TypeCode code;
        uint64_t payload;
        double number;
    };
    const Case cases[] = {
        {TypeCode::Byte, 0x1FF, 255},
        {TypeCode::Short, 0x1FFFF, -1},
        {TypeCode::Int, 0xFFFFFFFF, -1},
        {TypeCode::Int, 0x100000002, 2},
        {TypeCode::Long, 0xFFFFFFFFFFFFFFFE, -2},
        {TypeCode::Float, std::bit_cast<uint32_t>(1.5f), 1.5},
        {TypeCode::Double, std::bit_cast<uint64_t>(-2.25), -2.25},
        {TypeCode::Bool, 1, 0},
        {TypeCode::DateTime, 5, 0},
        {TypeCode::Text, 5, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((TypedValue{c.payload, c.code}.number()), c.number)
            << std::hex << static_cast<uint32_t>(c.code);
    }
}

TEST(TypedValue, ZeroMeansAMagnitudeOfAtMostTenToTheMinusSeven) {
    auto dbl = [](double d) { return TypedValue{std::bit_cast<uint64_t>(d), TypeCode::Double}; };
    EXPECT_TRUE(dbl(1e-7).isZero());
    EXPECT_TRUE(dbl(-1e-7).isZero());
    EXPECT_FALSE(dbl(1.0000001e-7).isZero());
    EXPECT_FALSE(dbl(std::nan("")).isZero());
    EXPECT_TRUE((TypedValue{std::bit_cast<uint32_t>(1e-8f), TypeCode::Float}.isZero()));
    EXPECT_FALSE((TypedValue{1, TypeCode::Byte}.isZero()));
    EXPECT_TRUE((TypedValue{1, TypeCode::Bool}.isZero()));  // no numeric reading
}

}  // namespace
}  // namespace jdsm
