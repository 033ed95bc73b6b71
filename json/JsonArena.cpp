#include "json/JsonArena.h"

#include <cstdlib>
#include <new>

namespace jdsm::json_detail {

struct Arena::Chunk {
    Chunk* next;
    size_t size;
};

struct Arena::Large {
    Large* prev;
    Large* next;
    size_t size;
    size_t pad;  // keeps the block behind the header 16-byte aligned
};

namespace {
constexpr size_t kFirstChunk = 4096;
// Chunks stay below the size at which the C library maps fresh pages for every block: re-used heap
// memory is cheaper to zero than page faults on new pages (measured on canada.json).
constexpr size_t kMaxChunk = 64 * 1024;
thread_local size_t tNewArenaLimit = 0;
}  // namespace

void Arena::setLimitForNewArenas(size_t bytes) {
    tNewArenaLimit = bytes;
}

Arena* Arena::create() {
    // The arena and its first chunk share one heap block, so a small document costs one heap call.
    void* raw = std::calloc(1, kFirstChunk);
    if (!raw) return nullptr;
    auto* a = new (raw) Arena();
    a->limit_ = tNewArenaLimit;
    a->held_ = kFirstChunk;
    const size_t header = (sizeof(Arena) + 15) & ~size_t{15};
    a->bump_ = static_cast<char*>(raw) + header;
    a->end_ = static_cast<char*>(raw) + kFirstChunk;
    a->nextChunk_ = 2 * kFirstChunk;
    if (a->limit_ != 0 && a->held_ > a->limit_) {
        a->bump_ = a->end_;  // a limit below the first chunk leaves nothing to hand out
    }
    return a;
}

void Arena::destroy(Arena* arena) {
    if (!arena) return;
    for (Chunk* c = arena->chunks_; c;) {
        Chunk* next = c->next;
        std::free(c);
        c = next;
    }
    for (Large* l = arena->large_; l;) {
        Large* next = l->next;
        std::free(l);
        l = next;
    }
    arena->~Arena();
    std::free(arena);
}

void* Arena::allocateSlow(size_t n) {
    const size_t rounded = (n + 7) & ~size_t{7};
    if (rounded < n) return nullptr;  // overflow
    if (rounded >= kLargeBlock) return allocateLarge(rounded);

    // The rest of the current chunk is abandoned; it is less than a large block, so little is lost.
    size_t size = nextChunk_;
    while (size - sizeof(Chunk) < rounded)
        size *= 2;
    if (!mayTake(size)) return nullptr;
    auto* c = static_cast<Chunk*>(std::calloc(1, size));
    if (!c) return nullptr;
    c->next = chunks_;
    c->size = size;
    chunks_ = c;
    held_ += size;
    if (nextChunk_ < kMaxChunk) nextChunk_ *= 2;
    bump_ = reinterpret_cast<char*>(c) + ((sizeof(Chunk) + 15) & ~size_t{15});
    end_ = reinterpret_cast<char*>(c) + size;
    void* p = bump_;
    bump_ += rounded;
    return p;
}

void* Arena::allocateLarge(size_t n) {
    const size_t total = sizeof(Large) + n;
    if (total < n || !mayTake(total)) return nullptr;
    auto* l = static_cast<Large*>(std::calloc(1, total));
    if (!l) return nullptr;
    l->size = total;
    l->next = large_;
    if (large_) large_->prev = l;
    large_ = l;
    held_ += total;
    return l + 1;
}

void Arena::release(void* block, size_t n) {
    if (!block) return;
    const size_t rounded = (n + 7) & ~size_t{7};
    if (rounded < kLargeBlock) return;  // small blocks stay until the arena goes
    Large* l = static_cast<Large*>(block) - 1;
    if (l->prev) {
        l->prev->next = l->next;
    } else {
        large_ = l->next;
    }
    if (l->next) l->next->prev = l->prev;
    held_ -= l->size;
    std::free(l);
}

}  // namespace jdsm::json_detail
