#pragma once
// Paths such as "stock.jdPrice.p" or "skuInfos[0].unionUrl": parsing and resolution.
//
// A path is parsed afresh on every call. Its copy and its steps live in buffers on the caller's stack
// (the heap only for unusually long paths), so a query allocates nothing in the document: a document
// that is only read never grows, however often it is asked.

#include <cstdint>
#include <string_view>
#include <vector>

#include "json/JsonModel.h"

namespace jdsm::json_detail {

// A buffer with room for N elements inside itself, spilling to the heap beyond that.
template <class T, size_t N>
class InlineBuffer {
  public:
    InlineBuffer() = default;
    InlineBuffer(const InlineBuffer&) = delete;
    InlineBuffer& operator=(const InlineBuffer&) = delete;

    void resize(size_t n) {
        if (n > N) {
            heap_.resize(n);
            data_ = heap_.data();
        }
        size_ = n;
    }
    void push_back(const T& v) {
        if (size_ == N && data_ == inline_) {
            heap_.assign(inline_, inline_ + N);
            data_ = heap_.data();
        }
        if (data_ != inline_) {
            heap_.push_back(v);
            data_ = heap_.data();
        } else {
            inline_[size_] = v;
        }
        ++size_;
    }
    T* data() { return data_; }
    const T* data() const { return data_; }
    size_t size() const { return size_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

  private:
    T inline_[N];
    T* data_ = inline_;
    size_t size_ = 0;
    std::vector<T> heap_;
};

struct PathStep {
    int32_t kind;  // kNameStep or kIndexStep
    const char16_t* name;
    size_t nameLength;
    int32_t index;
};
constexpr int32_t kNameStep = 1;
constexpr int32_t kIndexStep = 2;

// Writing resolutions refuse to pad an array with more null elements than this in one step, so that a
// stray "[2000000000]" cannot make a document allocate without bound.
constexpr int64_t kMaxPadding = 1 << 20;

class ParsedPath {
  public:
    explicit ParsedPath(std::u16string_view path);
    // A path in code page 936.
    explicit ParsedPath(std::string_view path);

    size_t size() const { return steps_.size(); }
    const PathStep& operator[](size_t i) const { return steps_[i]; }

  private:
    void parse();
    InlineBuffer<char16_t, 128> text_;
    InlineBuffer<PathStep, 16> steps_;
};

// The node the path names below `start`, or null.
Node* resolveRead(Node* start, const ParsedPath& path);
// The same, creating what is missing (see the header of JsonDocument); null when that fails.
Node* resolveWrite(Node* start, const ParsedPath& path);

}  // namespace jdsm::json_detail
