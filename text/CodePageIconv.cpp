// Code page conversion on glibc iconv.
//
// iconv is the source of the mapping, but calling it for every text would cost an iconv_open per call
// or per thread and a slow path for short texts. So the two code page 936 directions are read out of
// iconv once, unit by unit, into lookup tables (about 200 KiB, built on first use in a few
// milliseconds), and the conversions themselves are table look-ups that any thread may run at once.
// UTF-8 goes through iconv directly, with one converter per thread.

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "text/CodePage.h"

namespace jdsm::codepage {

namespace {

constexpr char16_t kQuestion = u'?';
constexpr uint16_t kUnmappable = 0xFFFF;  // no code page 936 code ends in 0xFF, so this cannot be one

struct Tables {
    std::array<char16_t, 256> single{};                 // one-byte characters; 0 = none (except byte 0)
    std::array<std::array<char16_t, 256>, 128> pair{};  // [lead - 0x80][trail]; 0 = not a character
    std::array<uint16_t, 65536> toLocal{};              // < 0x100: one byte; else lead << 8 | trail
};

iconv_t openOrThrow(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert code page 936");
    return cd;
}

// Converts one small input; returns the output bytes written, or -1 when iconv refuses all of it.
ptrdiff_t convertOne(iconv_t cd, const char* in, size_t inLen, char* out, size_t outCap) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    size_t inLeft = inLen;
    size_t outLeft = outCap;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return -1;
    // Flush any shift state; code page 936 has none, but a stateful converter would need it.
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) return -1;
    return outPtr - out;
}

std::unique_ptr<Tables> buildTables() {
    auto t = std::make_unique<Tables>();
    iconv_t toWide = openOrThrow("UTF-16LE", "CP936");
    iconv_t fromWide = openOrThrow("CP936", "UTF-16LE");
    char out[16];

    for (int b = 0; b < 0x80; ++b)
        t->single[b] = static_cast<char16_t>(b);
    for (int b = 0x80; b < 0x100; ++b) {
        const char in = static_cast<char>(b);
        if (convertOne(toWide, &in, 1, out, sizeof out) == 2)
            t->single[b] =
                static_cast<char16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8);
    }
    for (int lead = 0x81; lead < 0xFF; ++lead) {
        for (int trail = 0x40; trail < 0xFF; ++trail) {
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (convertOne(toWide, in, 2, out, sizeof out) == 2)
                t->pair[lead - 0x80][trail] =
                    static_cast<char16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8);
        }
    }

    t->toLocal.fill(kUnmappable);
    t->toLocal[0] = 0;
    for (uint32_t u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;  // a lone surrogate is never a character
        if (u < 0x80) {
            t->toLocal[u] = static_cast<uint16_t>(u);
            continue;
        }
        const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        const ptrdiff_t n = convertOne(fromWide, in, 2, out, sizeof out);
        if (n == 1) {
            t->toLocal[u] = static_cast<uint8_t>(out[0]);
        } else if (n == 2) {
            t->toLocal[u] =
                static_cast<uint16_t>(static_cast<uint8_t>(out[0]) << 8 | static_cast<uint8_t>(out[1]));
        }
    }
    iconv_close(toWide);
    iconv_close(fromWide);
    return t;
}

const Tables& tables() {
    static const std::unique_ptr<Tables> t = buildTables();  // thread-safe one-time build
    return *t;
}

struct Utf8Converter {
    iconv_t cd = openOrThrow("UTF-16LE", "UTF-8");
    ~Utf8Converter() { iconv_close(cd); }
};

}  // namespace

void appendLocalToWide(std::string_view in, std::u16string& out) {
    const size_t n = in.size();
    size_t i = 0;
    // ASCII needs no table; long ASCII runs (most JSON) are copied in a tight loop.
    out.reserve(out.size() + n);
    const Tables* t = nullptr;
    while (i < n) {
        const auto b = static_cast<uint8_t>(in[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        if (!t) t = &tables();
        if (i + 1 < n && b != 0x80 && b != 0xFF) {
            const char16_t u = t->pair[b - 0x80][static_cast<uint8_t>(in[i + 1])];
            if (u != 0) {
                out.push_back(u);
                i += 2;
                continue;
            }
        }
        out.push_back(t->single[b] != 0 ? t->single[b] : kQuestion);
        ++i;
    }
}

void appendWideToLocal(std::u16string_view in, std::string& out) {
    out.reserve(out.size() + in.size());
    const Tables* t = nullptr;
    for (const char16_t u : in) {
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        if (!t) t = &tables();
        const uint16_t code = t->toLocal[u];
        if (code == kUnmappable) {
            out.push_back('?');
        } else if (code < 0x100) {
            out.push_back(static_cast<char>(code));
        } else {
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        }
    }
}

std::u16string localToWide(std::string_view cp936) {
    std::u16string out;
    appendLocalToWide(cp936, out);
    return out;
}

std::string wideToLocal(std::u16string_view utf16) {
    std::string out;
    appendWideToLocal(utf16, out);
    return out;
}

std::u16string utf8ToWide(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size() && static_cast<uint8_t>(utf8[i]) < 0x80)
        out.push_back(static_cast<char16_t>(utf8[i++]));
    if (i == utf8.size()) return out;

    thread_local Utf8Converter conv;
    iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
    const size_t base = out.size();
    out.resize(base + (utf8.size() - i) + 1);  // UTF-16 never needs more units than UTF-8 has bytes
    char* inPtr = const_cast<char*>(utf8.data() + i);
    size_t inLeft = utf8.size() - i;
    char* outPtr = reinterpret_cast<char*>(out.data() + base);
    size_t outLeft = (out.size() - base) * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(conv.cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) break;  // cannot happen with the bound above; stop rather than loop
        // A malformed or truncated sequence: one replacement character per offending byte.
        if (outLeft < sizeof(char16_t)) break;
        const char16_t repl = 0xFFFD;
        std::memcpy(outPtr, &repl, sizeof repl);
        outPtr += sizeof repl;
        outLeft -= sizeof repl;
        ++inPtr;
        --inLeft;
        iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(static_cast<size_t>(reinterpret_cast<char16_t*>(outPtr) - out.data()));
    return out;
}

std::string utf8ToLocalString(std::string_view utf8) {
    return wideToLocal(utf8ToWide(utf8));
}

}  // namespace jdsm::codepage
