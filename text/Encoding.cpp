#include "text/Encoding.h"

#include <string>

#include "text/CodePage.h"
#include "text/ScriptString.h"

namespace jdsm {

namespace {

// The right single quotation mark in code page 936. Apostrophes travel as this character through the
// single-quoted script string, where a raw apostrophe would end it.
constexpr std::string_view kRightQuote = "\xA1\xAF";
// Line breaks cannot stand inside the script string either; they travel as this marker.
constexpr std::string_view kLineBreakMark = "{$}";

}  // namespace

Text utf8ToLocal(std::string_view utf8) {
    if (utf8.empty()) return {};
    return Text(codepage::wideToLocal(codepage::utf8ToWide(utf8)));
}

Text utf8ToLocal(const Bytes& utf8) {
    return utf8ToLocal(bytesView(utf8));
}

Text utf16BytesToText(const Bytes& bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    std::u16string_view v(units);
    if (!v.empty() && v.front() == u'\uFEFF') v.remove_prefix(1);
    v = v.substr(0, v.find(u'\0'));
    return Text(codepage::wideToLocal(v));
}

Text decodeEscapes(std::string_view text) {
    // The replacements step by character like every scan of a text, so a backslash or apostrophe byte
    // that is the second half of a double-byte character is left alone (it is none in UTF-16 either).
    Text t = replace(text, "\r\n", kLineBreakMark);
    if (!t.empty() && t[0] == '\r') t = Text(t.view().substr(1));
    t = replace(t, "\\u", "%u");
    t = replace(t, "'", kRightQuote);

    // The script step: t as the body of a single-quoted script string, then unescape. Its result is
    // cut at the first zero unit, as a text handed back by the script host would be.
    Text result;
    if (const auto literal = script::decodeLiteral(codepage::localToWide(t)))
        result = Text(codepage::wideToLocal(script::unescape(*literal)));
    // Whenever the script step yields nothing, for whatever reason, the text's own bytes read as
    // UTF-16 stand in. Computing it only when needed changes nothing: it has no other effect.
    if (result.empty()) result = utf16BytesToText(textToBytes(t));

    result = replace(result, kRightQuote, "'");
    return replace(result, kLineBreakMark, "\r\n");
}

}  // namespace jdsm
