#pragma once
// Texts, byte-sets and text lists, and the primitives every part of the program relies on.
//
// A Text is a byte string in code page 936 that never holds a zero byte: building one from bytes stops
// at the first zero. A byte of 0x80 or above begins a double-byte character whose second byte follows.
// Lengths count bytes, positions are 1-based, a search that finds nothing gives -1, and the empty text
// is the absent text. Searches, splits and replacements step character by character, so a match only
// ever begins on the first byte of a character (counted from where the scan starts).
//
// The primitives take std::string_view so that literals and Texts pass without copies; every result is
// a new value.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jdsm {

class Text {
  public:
    Text() = default;
    Text(const char* s) : s_(s ? s : "") {}  // NOLINT(google-explicit-constructor): literals read as texts
    Text(std::string_view s) : s_(s.substr(0, s.find('\0'))) {}  // NOLINT(google-explicit-constructor)
    Text(std::string&& s) : s_(std::move(s)) { cutAtZero(); }    // NOLINT(google-explicit-constructor)
    Text(const std::string& s) : Text(std::string_view(s)) {}    // NOLINT(google-explicit-constructor)

    int32_t length() const { return static_cast<int32_t>(s_.size()); }
    bool empty() const { return s_.empty(); }
    const char* c_str() const { return s_.c_str(); }
    const std::string& str() const { return s_; }
    std::string_view view() const { return s_; }
    operator std::string_view() const { return s_; }  // NOLINT(google-explicit-constructor)

    // Byte at a 0-based index, unsigned; no bounds check.
    unsigned char operator[](size_t i) const { return static_cast<unsigned char>(s_[i]); }

    Text& operator+=(std::string_view more);
    Text& operator+=(char c);
    void reserve(size_t n) { s_.reserve(n); }
    void clear() { s_.clear(); }

    friend bool operator==(const Text& a, const Text& b) = default;
    friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const Text& a, const char* b) { return a.view() == std::string_view(b ? b : ""); }
    friend bool operator==(const Text& a, const std::string& b) { return a.view() == std::string_view(b); }
    friend auto operator<=>(const Text& a, const Text& b) = default;

  private:
    void cutAtZero();
    std::string s_;
};

Text operator+(Text a, std::string_view b);
Text operator+(std::string_view a, const Text& b);
Text operator+(Text a, const Text& b);
Text operator+(Text a, const char* b);
Text operator+(const char* a, const Text& b);
std::ostream& operator<<(std::ostream& os, const Text& t);

// A byte-set: length-counted bytes that may hold zeros.
using Bytes = std::vector<std::uint8_t>;

// A list of texts. The program's loops count its elements from 1; here it is a plain vector.
using TextList = std::vector<Text>;

// --- searching -------------------------------------------------------------------------------------

// Position of the first occurrence of `sought` beginning at or after `start`, or -1. A start below 1
// counts as 1, a start beyond the length finds nothing. An empty `sought` is found at 1 whenever the
// searched part is not empty. With `ignoreCase` ASCII letters match either case; other bytes exactly.
int32_t find(std::string_view text, std::string_view sought, int32_t start = 1, bool ignoreCase = false);

// Position of the last occurrence lying wholly within the first start - 1 bytes (the whole text when
// `start` is omitted), or -1.
int32_t findLast(std::string_view text, std::string_view sought, std::optional<int32_t> start = std::nullopt,
                 bool ignoreCase = false);

inline bool contains(std::string_view text, std::string_view sought, bool ignoreCase = false) {
    return find(text, sought, 1, ignoreCase) != -1;
}

// --- cutting ---------------------------------------------------------------------------------------

Text left(std::string_view text, int32_t n);                   // first n bytes (may cut a character)
Text right(std::string_view text, int32_t n);                  // last n bytes
Text middle(std::string_view text, int32_t start, int32_t n);  // n bytes from the 1-based start

// Replaces up to `count` occurrences (a negative count: all) from `start` on. Each scan goes on behind
// the replaced occurrence, so a replacement is never scanned again. `caseSensitive` false folds ASCII.
Text replace(std::string_view text, std::string_view sought, std::string_view replacement = {},
             int32_t start = 1, int32_t count = -1, bool caseSensitive = true);

// The pieces between separators. Text before the first separator and between two adjacent separators
// gives a piece even when empty; what follows the last separator only when it is not empty. The empty
// text gives no pieces; an empty separator gives the whole text as one piece.
TextList split(std::string_view text, std::string_view separator);

// Spaces are the ASCII space and the ideographic space 0xA1 0xA1; tabs and line breaks are not.
Text trim(std::string_view text);
Text removeSpaces(std::string_view text);

Text toUpper(std::string_view text);  // a-z only; double-byte characters are left alone

// The byte at a 1-based position as a signed 8-bit number; 0 outside the text.
int8_t charCode(std::string_view text, int32_t position = 1);

Text repeat(int32_t n, std::string_view text);

// --- texts and byte-sets ---------------------------------------------------------------------------

Bytes textToBytes(std::string_view text);
// The bytes up to the first zero byte, or all of them; no code-page conversion.
Text bytesToText(const Bytes& bytes);
std::string_view bytesView(const Bytes& bytes);

Bytes bytesLeft(const Bytes& bytes, int32_t n);
Bytes bytesMiddle(const Bytes& bytes, int32_t start, int32_t n);
// As replace, on bytes with exact comparison (zero bytes allowed, stepping one byte at a time).
Bytes replaceBytes(const Bytes& bytes, const Bytes& sought, const Bytes& replacement = {}, int32_t start = 1,
                   int32_t count = -1);

// --- numbers ---------------------------------------------------------------------------------------

Text numberToText(int32_t n);
Text numberToText(int64_t n);
Text numberToText(double d);  // as printf "%.13g"

}  // namespace jdsm

template <>
struct std::hash<jdsm::Text> {
    size_t operator()(const jdsm::Text& t) const noexcept { return std::hash<std::string_view>{}(t.view()); }
};
