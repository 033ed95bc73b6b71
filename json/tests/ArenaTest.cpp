// The document arena: zero-filled, aligned blocks; large blocks returned at once; limits honoured.

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "json/JsonArena.h"
#include "json/JsonDocument.h"

namespace jdsm {
namespace {

using json_detail::Arena;

bool allZero(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
        if (b[i]) return false;
    }
    return true;
}

TEST(JsonArena, BlocksAreZeroFilledAlignedAndDistinct) {
    Arena* a = Arena::create();
    ASSERT_NE(a, nullptr);
    std::vector<std::pair<char*, size_t>> blocks;
    for (size_t n : {0u, 1u, 7u, 64u, 4000u, 9000u, 16383u, 16384u, 100000u, 3u}) {
        auto* p = static_cast<char*>(a->allocate(n));
        ASSERT_NE(p, nullptr) << n;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u) << n;
        EXPECT_TRUE(allZero(p, n)) << n;
        std::memset(p, 0xAB, n);  // scribble: neighbours must not see it
        blocks.emplace_back(p, n);
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        for (size_t j = i + 1; j < blocks.size(); ++j) {
            const bool apart = blocks[i].first + blocks[i].second <= blocks[j].first ||
                               blocks[j].first + blocks[j].second <= blocks[i].first;
            EXPECT_TRUE(apart || blocks[i].second == 0 || blocks[j].second == 0) << i << " " << j;
        }
    }
    Arena::destroy(a);
}

TEST(JsonArena, LargeBlocksGoBackToTheHeapAtOnce) {
    Arena* a = Arena::create();
    const size_t before = a->heldBytes();
    void* big = a->allocate(1 << 20);
    ASSERT_NE(big, nullptr);
    EXPECT_GE(a->heldBytes(), before + (1 << 20));
    a->release(big, 1 << 20);
    EXPECT_EQ(a->heldBytes(), before);
    a->release(nullptr, 10);  // nothing
    Arena::destroy(a);
    Arena::destroy(nullptr);
}

TEST(JsonArena, OverflowingRequestsFail) {
    Arena* a = Arena::create();
    EXPECT_EQ(a->allocate(SIZE_MAX), nullptr);
    EXPECT_EQ(a->allocate(SIZE_MAX - 4), nullptr);
    EXPECT_NE(a->allocate(16), nullptr) << "the arena stays usable";
    Arena::destroy(a);
}

TEST(JsonArena, LimitTurnsIntoOutOfMemoryAndEveryFailureLeavesAClearedRoot) {
    std::string text = "{\"list\":[";
    for (int i = 0; i < 3000; ++i)
        text += (i ? "," : "") + std::string("{\"k\":\"value ") + std::to_string(i) + "\"}";
    text += "],\"tail\":1}";
    bool sawOutOfMemory = false;
    bool sawSuccess = false;
    for (size_t limit = 4096; limit <= (64u << 20) && !sawSuccess; limit *= 2) {
        Arena::setLimitForNewArenas(limit);
        JsonDocument doc;
        int32_t status = 0;
        const bool ok = doc.parse(text, 1, &status);
        Arena::setLimitForNewArenas(0);
        if (ok) {
            sawSuccess = true;
            EXPECT_EQ(doc.getText("list[2999].k"), "value 2999");
        } else if (doc.isValid()) {
            sawOutOfMemory = true;
            EXPECT_EQ(status, -3);
            EXPECT_EQ(doc.getCount(), 0) << "a failed parse leaves a cleared root";
            EXPECT_FALSE(doc.getNode("x[3]").isValid() && doc.getCount() == 0);
        } else {
            EXPECT_EQ(status, -2);
        }
    }
    EXPECT_TRUE(sawOutOfMemory);
    EXPECT_TRUE(sawSuccess);
}

TEST(JsonArena, DocumentsOnDifferentThreadsAreIndependent) {
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &good] {
            for (int i = 0; i < 200; ++i) {
                JsonDocument doc;
                const std::string text =
                    "{\"t\":" + std::to_string(t) + ",\"i\":[" + std::to_string(i) + "]}";
                if (doc.parse(text) && doc.getInt("t") == t && doc.getInt("i[0]") == i) ++good[t];
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(good[t], 200);
}

}  // namespace
}  // namespace jdsm
