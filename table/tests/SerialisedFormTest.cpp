#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "table/KeyedTable.h"

namespace jdsm {
namespace {

constexpr int32_t kInt = 3, kText = 10, kBytes = 11;

using Pairs = std::vector<std::pair<TableItem, TableItem>>;

Pairs sortedEntries(const KeyedTable& t) {
    Pairs out;
    t.forEach([&](const TableItem& k, const TableItem& v, int32_t) { return out.emplace_back(k, v), 0; });
    std::sort(out.begin(), out.end());
    return out;
}

Bytes le(std::initializer_list<uint32_t> words) {
    Bytes out;
    for (uint32_t w : words) {
        for (int s = 0; s < 32; s += 8)
            out.push_back(static_cast<uint8_t>(w >> s));
    }
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kMagic{'h', 'a', 's', 'h'};

// Text keys to byte-set values: "ab" -> {1, 0, 2} in bucket 0, "ba" -> {} in bucket 3.
Bytes goldenTextToBytes() {
    return kMagic + le({10, 11, 2, 32, 35, 46, 0}) + Bytes{'a', 'b', 0} + le({1, 3}) + Bytes{1, 0, 2} +
           Bytes{'b', 'a', 0};
}

TEST(SerialisedForm, EmptyIntegerTableIsSixteenBytes) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kInt, kInt));
    const Bytes bytes = t.toBytes();
    EXPECT_EQ(bytes, kMagic + le({3, 3, 0}));

    KeyedTable loaded;
    ASSERT_TRUE(loaded.loadFromBytes(bytes));
    EXPECT_EQ(loaded.count(), 0);
    EXPECT_EQ(loaded.bucketCount(), 11);
    EXPECT_TRUE(loaded.loadFromBytes(bytes + Bytes{0xEE}));  // bytes after the payload area are ignored
}

TEST(SerialisedForm, ByteForByte) {
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kBytes));
    t.set(Text("ba"), Bytes{});
    t.set(Text("ab"), Bytes{1, 0, 2});
    EXPECT_EQ(t.toBytes(), goldenTextToBytes());

    KeyedTable ints;
    ASSERT_TRUE(ints.create(kInt, kText));
    ints.set(-2, Text("x"));
    EXPECT_EQ(ints.toBytes(), (kMagic + le({3, 10, 1, 0xFFFFFFFE, 24}) + Bytes{'x', 0}));
}

TEST(SerialisedForm, RoundTripForEveryPairOfKinds) {
    auto item = [](int32_t kind, int i) -> TableItem {
        switch (kind) {
            case kInt:
                return i * 7919 - 100;
            case kText:
                return i == 0 ? Text() : Text("k" + std::to_string(i) + "\xCF\xD6");
            default:
                return i % 5 == 0 ? Bytes{} : Bytes{static_cast<uint8_t>(i), 0, 0xFF};
        }
    };
    for (int32_t keyKind : {kInt, kText, kBytes}) {
        for (int32_t valueKind : {kInt, kText, kBytes}) {
            SCOPED_TRACE(testing::Message() << keyKind << " -> " << valueKind);
            KeyedTable t;
            ASSERT_TRUE(t.create(keyKind, valueKind));
            for (int i = 0; i < 30; ++i)
                t.set(item(keyKind, i), item(valueKind, i % 4 ? i : 0));
            KeyedTable loaded;
            ASSERT_TRUE(loaded.loadFromBytes(t.toBytes()));
            EXPECT_EQ(loaded.count(), t.count());
            EXPECT_EQ(sortedEntries(loaded), sortedEntries(t));
            EXPECT_EQ(loaded.get(item(keyKind, 0)).code, t.get(item(keyKind, 0)).code);
        }
    }
}

TEST(SerialisedForm, ReaderAcceptsRepeatedKeysAndAZeroByteEmptyText) {
    KeyedTable t;
    ASSERT_TRUE(t.loadFromBytes(kMagic + le({3, 3, 2, 5, 1, 5, 2})));
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.get(5).payload, 2u);

    ASSERT_TRUE(t.loadFromBytes(kMagic + le({10, 3, 1, 24, 9}) + Bytes{0}));
    EXPECT_EQ(t.get(Text()).payload, 9u);
    ASSERT_TRUE(t.loadFromBytes(kMagic + le({11, 11, 1, 24, 0, 1, 0})));  // an empty byte-set written whole
    EXPECT_TRUE(t.containsKey(Bytes{}));

    // Integer slots are numbers, never offsets, whatever they hold.
    ASSERT_TRUE(t.loadFromBytes(kMagic + le({3, 3, 1, 0xFFFFFFFF, 0x7FFFFFFF})));
    EXPECT_EQ(t.get(-1).payload, 0x7FFFFFFFu);

    // A form listing more entries than the bucket threshold grows while loading, like `set` does.
    Bytes many = kMagic + le({3, 3, 40});
    for (uint32_t k = 0; k < 40; ++k)
        many = many + le({k, k * 2});
    ASSERT_TRUE(t.loadFromBytes(many));
    EXPECT_EQ(t.count(), 40);
    EXPECT_EQ(t.bucketCount(), 103);  // 51 buckets, threshold 38, grown once
    EXPECT_EQ(t.get(39).payload, 78u);
}

TEST(SerialisedForm, MalformedBytesAreRefusedAndThePreviousStoreStays) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> spoil;
    };
    auto word = [](Bytes& b, size_t at, uint32_t v) {
        const Bytes w = le({v});
        std::copy(w.begin(), w.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    };
    const Case cases[] = {
        {"15 bytes", [](Bytes& b) { b.resize(15); }},
        {"upper-case magic", [](Bytes& b) { std::copy_n("HASH", 4, b.begin()); }},
        {"key kind 5", [&](Bytes& b) { word(b, 4, 5); }},
        {"value kind 4", [&](Bytes& b) { word(b, 8, 4); }},
        {"negative count", [&](Bytes& b) { word(b, 12, 0xFFFFFFFF); }},
        {"slots past the end", [&](Bytes& b) { word(b, 12, 5); }},
        {"huge count", [&](Bytes& b) { word(b, 12, 0x20000000); }},
        {"offset at the end", [&](Bytes& b) { word(b, 16, 49); }},
        {"offset past the end", [&](Bytes& b) { word(b, 16, 0xFFFFFFFF); }},
        {"offset into the header", [&](Bytes& b) { word(b, 16, 8); }},
        {"offset into the slots", [&](Bytes& b) { word(b, 16, 28); }},
        {"unterminated last text", [](Bytes& b) { b.pop_back(); }},
        {"byte-set count not 1", [&](Bytes& b) { word(b, 35, 2); }},
        {"byte-set longer than the rest", [&](Bytes& b) { word(b, 39, 7); }},
        {"byte-set length overflowing", [&](Bytes& b) { word(b, 39, 0xFFFFFFFF); }},
        {"byte-set header cut", [&](Bytes& b) { word(b, 20, 45); }},
    };
    const Bytes golden = goldenTextToBytes();
    ASSERT_EQ(golden.size(), 49u);
    KeyedTable t;
    ASSERT_TRUE(t.create(kText, kInt));
    t.set(Text("kept"), 1);
    for (const Case& c : cases) {
        Bytes b = golden;
        c.spoil(b);
        EXPECT_FALSE(t.loadFromBytes(b)) << c.name;
        EXPECT_EQ(t.count(), 1) << c.name;
        EXPECT_EQ(t.get(Text("kept")).payload, 1u) << c.name;
    }
    for (size_t n = 0; n < golden.size(); ++n) {
        EXPECT_FALSE(t.loadFromBytes(Bytes(golden.begin(), golden.begin() + static_cast<std::ptrdiff_t>(n))))
            << "prefix of " << n;
    }
    EXPECT_TRUE(t.loadFromBytes(golden));
}

// Random corruption must never read outside the bytes (the sanitizer builds watch for that), and whatever
// loads must write itself out again loadably.
TEST(SerialisedForm, CorruptedBytesLoadSafelyOrNotAtAll) {
    const Bytes golden = goldenTextToBytes();
    std::mt19937 random(6);
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = golden;
        const int flips = 1 + static_cast<int>(random() % 3);
        for (int f = 0; f < flips; ++f)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        KeyedTable t;
        if (!t.loadFromBytes(b)) continue;
        ++loaded;
        KeyedTable again;
        EXPECT_TRUE(again.loadFromBytes(t.toBytes()));
        EXPECT_EQ(sortedEntries(again), sortedEntries(t));
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace jdsm
