#include "text/Text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ostream>

namespace jdsm {

namespace {

inline unsigned char byteAt(std::string_view s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Bytes a character occupies: a lead byte of 0x80 or above takes its follower with it.
inline size_t charWidth(unsigned char b) {
    return b >= 0x80 ? 2 : 1;
}

inline unsigned char foldAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b;
}

inline bool matchesAt(std::string_view text, size_t at, std::string_view sought, bool ignoreCase) {
    if (at + sought.size() > text.size()) return false;
    if (!ignoreCase) return std::memcmp(text.data() + at, sought.data(), sought.size()) == 0;
    for (size_t k = 0; k < sought.size(); ++k) {
        if (foldAscii(byteAt(text, at + k)) != foldAscii(byteAt(sought, k))) return false;
    }
    return true;
}

// First match at or after byte index `from`, stepping by characters from `from`; npos when none.
size_t scanFor(std::string_view text, std::string_view sought, size_t from, bool ignoreCase) {
    if (sought.size() > text.size()) return std::string_view::npos;
    const size_t last = text.size() - sought.size();
    if (!ignoreCase) {
        const unsigned char first = byteAt(sought, 0);
        size_t i = from;
        while (i <= last) {
            if (byteAt(text, i) == first && std::memcmp(text.data() + i, sought.data(), sought.size()) == 0)
                return i;
            i += charWidth(byteAt(text, i));
        }
        return std::string_view::npos;
    }
    for (size_t i = from; i <= last; i += charWidth(byteAt(text, i))) {
        if (matchesAt(text, i, sought, true)) return i;
    }
    return std::string_view::npos;
}

inline bool isSpaceAt(std::string_view s, size_t i) {
    return byteAt(s, i) == 0x20 || (byteAt(s, i) == 0xA1 && i + 1 < s.size() && byteAt(s, i + 1) == 0xA1);
}

}  // namespace

void Text::cutAtZero() {
    const size_t z = s_.find('\0');
    if (z != std::string::npos) s_.resize(z);
}

Text& Text::operator+=(std::string_view more) {
    s_.append(more.substr(0, more.find('\0')));
    return *this;
}

Text& Text::operator+=(char c) {
    if (c != '\0') s_.push_back(c);
    return *this;
}

Text operator+(Text a, std::string_view b) {
    return a += b;
}
Text operator+(std::string_view a, const Text& b) {
    Text t(a);
    t.reserve(a.size() + b.view().size());
    return t += b.view();
}
Text operator+(Text a, const Text& b) {
    return a += b.view();
}
Text operator+(Text a, const char* b) {
    return a += std::string_view(b ? b : "");
}
Text operator+(const char* a, const Text& b) {
    return std::string_view(a ? a : "") + b;
}

std::ostream& operator<<(std::ostream& os, const Text& t) {
    return os << t.view();
}

int32_t find(std::string_view text, std::string_view sought, int32_t start, bool ignoreCase) {
    if (start < 1) start = 1;
    if (static_cast<size_t>(start) > text.size()) return -1;
    if (sought.empty()) return 1;
    const size_t at = scanFor(text, sought, static_cast<size_t>(start - 1), ignoreCase);
    return at == std::string_view::npos ? -1 : static_cast<int32_t>(at + 1);
}

int32_t findLast(std::string_view text, std::string_view sought, std::optional<int32_t> start,
                 bool ignoreCase) {
    const int64_t len = static_cast<int64_t>(text.size());
    int64_t limit = start ? *start : len + 1;
    if (limit > len + 1) limit = len + 1;
    if (limit < 1) return -1;
    const std::string_view searched = text.substr(0, static_cast<size_t>(limit - 1));
    if (searched.empty()) return -1;
    if (sought.empty()) return 1;
    int32_t found = -1;
    size_t i = 0;
    while ((i = scanFor(searched, sought, i, ignoreCase)) != std::string_view::npos) {
        found = static_cast<int32_t>(i + 1);
        i += charWidth(byteAt(searched, i));
    }
    return found;
}

Text left(std::string_view text, int32_t n) {
    if (n <= 0) return {};
    return Text(text.substr(0, static_cast<size_t>(n)));
}

Text right(std::string_view text, int32_t n) {
    if (n <= 0) return {};
    if (static_cast<size_t>(n) >= text.size()) return Text(text);
    return Text(text.substr(text.size() - static_cast<size_t>(n)));
}

Text middle(std::string_view text, int32_t start, int32_t n) {
    if (start < 1 || static_cast<size_t>(start) > text.size() || n <= 0) return {};
    return Text(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(n)));
}

Text replace(std::string_view text, std::string_view sought, std::string_view replacement, int32_t start,
             int32_t count, bool caseSensitive) {
    if (start < 1) start = 1;
    if (text.empty() || sought.empty() || static_cast<size_t>(start) > text.size() || count == 0)
        return Text(text);
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    size_t i = static_cast<size_t>(start - 1);
    int32_t done = 0;
    while ((i = scanFor(text, sought, i, !caseSensitive)) != std::string_view::npos) {
        out.append(text.substr(copied, i - copied));
        out.append(replacement);
        i += sought.size();
        copied = i;
        if (count > 0 && ++done == count) break;
    }
    out.append(text.substr(copied));
    return Text(std::move(out));
}

TextList split(std::string_view text, std::string_view separator) {
    TextList pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t pieceStart = 0;
    size_t i = 0;
    while ((i = scanFor(text, separator, i, false)) != std::string_view::npos) {
        pieces.emplace_back(text.substr(pieceStart, i - pieceStart));
        i += separator.size();
        pieceStart = i;
    }
    if (pieceStart < text.size()) pieces.emplace_back(text.substr(pieceStart));
    return pieces;
}

Text trim(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isSpaceAt(text, i))
        i += charWidth(byteAt(text, i));
    const size_t begin = i;
    size_t end = begin;  // one past the last character that is not a space
    while (i < text.size()) {
        const size_t w = charWidth(byteAt(text, i));
        if (!isSpaceAt(text, i)) end = std::min(text.size(), i + w);
        i += w;
    }
    return Text(text.substr(begin, end - begin));
}

Text removeSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t w = std::min(charWidth(byteAt(text, i)), text.size() - i);
        if (!isSpaceAt(text, i)) out.append(text.substr(i, w));
        i += w;
    }
    return Text(std::move(out));
}

Text toUpper(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size();) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - ('a' - 'A'));
        i += charWidth(b);
    }
    return Text(std::move(out));
}

int8_t charCode(std::string_view text, int32_t position) {
    if (position < 1 || static_cast<size_t>(position) > text.size()) return 0;
    return static_cast<int8_t>(text[static_cast<size_t>(position - 1)]);
}

Text repeat(int32_t n, std::string_view text) {
    if (n < 1 || text.empty()) return {};
    std::string out;
    out.reserve(text.size() * static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k)
        out.append(text);
    return Text(std::move(out));
}

Bytes textToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Text bytesToText(const Bytes& bytes) {
    return Text(bytesView(bytes));
}

std::string_view bytesView(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

Bytes bytesLeft(const Bytes& bytes, int32_t n) {
    if (n <= 0) return {};
    return Bytes(bytes.begin(),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(n, bytes.size())));
}

Bytes bytesMiddle(const Bytes& bytes, int32_t start, int32_t n) {
    if (start < 1 || static_cast<size_t>(start) > bytes.size() || n <= 0) return {};
    const size_t from = static_cast<size_t>(start - 1);
    const size_t take = std::min<size_t>(static_cast<size_t>(n), bytes.size() - from);
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + take));
}

Bytes replaceBytes(const Bytes& bytes, const Bytes& sought, const Bytes& replacement, int32_t start,
                   int32_t count) {
    if (start < 1) start = 1;
    if (bytes.empty() || sought.empty() || static_cast<size_t>(start) > bytes.size() || count == 0)
        return bytes;
    Bytes out;
    out.reserve(bytes.size());
    size_t copied = 0;
    int32_t done = 0;
    auto it = bytes.begin() + (start - 1);
    while (true) {
        it = std::search(it, bytes.end(), sought.begin(), sought.end());
        if (it == bytes.end()) break;
        out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(copied), it);
        out.insert(out.end(), replacement.begin(), replacement.end());
        it += static_cast<std::ptrdiff_t>(sought.size());
        copied = static_cast<size_t>(it - bytes.begin());
        if (count > 0 && ++done == count) break;
    }
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(copied), bytes.end());
    return out;
}

Text numberToText(int32_t n) {
    return Text(std::to_string(n));
}
Text numberToText(int64_t n) {
    return Text(std::to_string(n));
}
// to_chars writes as printf "%.13g" does in the "C" locale, whatever locale the process runs in: the
// window toolkit adopts the user's locale, whose decimal separator may be a comma.
Text numberToText(double d) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 13);
    return Text(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

}  // namespace jdsm
