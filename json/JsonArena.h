#pragma once
// The memory of one JSON document.
//
// Everything a document holds (node records, names, strings, text forms, member tables, element lists)
// is cut from this arena, and closing the document hands it all back in one pass over the chunks. Every
// block comes zero-filled: text copies rely on it for their terminators and fresh records for their
// null fields.
//
// Small blocks are bump-allocated from chunks and stay until the arena goes; giving one back is free
// and does nothing, since node records and small texts are never reused before the document is closed
// anyway. Large blocks (big element lists, long strings) get a heap block of their own and go back to
// the heap as soon as they are released, so replacing a large value does not pin its memory.
//
// An arena belongs to one document, and a document is used by one thread at a time, so the arena takes
// no lock: documents on different threads never share one. (A mutex per allocation measured about four
// times the cost of the bump itself; see bench-json.)

#include <cstddef>
#include <cstdint>

namespace jdsm::json_detail {

class Arena {
  public:
    // Blocks of at least this many bytes get a heap block of their own.
    static constexpr size_t kLargeBlock = 16 * 1024;

    // A new arena, or null when the heap refuses.
    static Arena* create();
    // Frees every chunk and large block, then the arena itself. Null does nothing.
    static void destroy(Arena* arena);

    // n zero-filled bytes aligned for any record of the document, or null when out of memory.
    void* allocate(size_t n);
    // Gives back a block of n bytes (the size it was allocated with). Null does nothing.
    void release(void* block, size_t n);

    template <class T>
    T* make() {
        return static_cast<T*>(allocate(sizeof(T)));
    }

    // Bytes taken from the heap so far (chunks and live large blocks).
    size_t heldBytes() const { return held_; }

    // Test hook: arenas created afterwards on this thread refuse to hold more than `bytes` (0: no
    // limit), which lets tests drive every out-of-memory path.
    static void setLimitForNewArenas(size_t bytes);

  private:
    struct Chunk;
    struct Large;
    Arena() = default;
    void* allocateSlow(size_t n);
    void* allocateLarge(size_t n);
    bool mayTake(size_t bytes) const { return limit_ == 0 || held_ + bytes <= limit_; }

    char* bump_ = nullptr;
    char* end_ = nullptr;
    Chunk* chunks_ = nullptr;
    Large* large_ = nullptr;
    size_t nextChunk_ = 0;
    size_t held_ = 0;
    size_t limit_ = 0;
};

inline void* Arena::allocate(size_t n) {
    const size_t rounded = (n + 7) & ~size_t{7};
    if (rounded >= n && rounded < kLargeBlock && rounded <= static_cast<size_t>(end_ - bump_)) {
        void* p = bump_;
        bump_ += rounded;
        return p;
    }
    return allocateSlow(n);
}

}  // namespace jdsm::json_detail
