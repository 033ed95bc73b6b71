#pragma once
// What the fuzz targets share: reading a fuzzer's bytes as a few leading option bytes and numbers
// followed by zero-separated texts, and a check that stops the run when an invariant breaks.
//
// Zero bytes make good field separators because no Text can hold one: a text built from bytes ends at
// its first zero anyway, so nothing that a caller could hand in is lost by splitting there.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace jdsm::fuzz {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    // The next byte, 0 once the input is used up.
    uint8_t byte() {
        if (rest_.empty()) return 0;
        const auto b = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }
    // A number that is usually small (one signed byte, which reaches -1, 0 and the lengths of short
    // texts), and any 32-bit value after the marker byte 0x7F.
    int32_t number() {
        const auto b = static_cast<int8_t>(byte());
        if (b != 0x7F) return b;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(byte()) << (8 * i);
        return static_cast<int32_t>(v);
    }
    // The text up to the next zero byte (or the end), which is consumed.
    std::string_view field() {
        const size_t end = rest_.find('\0');
        const std::string_view f = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return f;
    }
    bool empty() const { return rest_.empty(); }
    std::string_view rest() const { return rest_; }

  private:
    std::string_view rest_;
};

// Stops the run with a message; libFuzzer then saves the input that broke the invariant.
[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

inline bool isAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace jdsm::fuzz

#define FUZZ_CHECK(cond)                                            \
    do {                                                            \
        if (!(cond)) ::jdsm::fuzz::fail(#cond, __FILE__, __LINE__); \
    } while (0)
