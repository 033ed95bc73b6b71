#pragma once
// What the JSON targets expect of written JSON read back.

#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "json/JsonDocument.h"

namespace jdsm::fuzz {

// The reader turns a line-feed escape into CR LF unless a carriage return precedes it or it opens a
// member name (names are unescaped without their quotes, string values with them), so a lone line feed
// written out comes back as CR LF. This is that one rewrite, applied to compact written JSON.
inline std::u16string withLineFeedsAsRead(std::u16string_view written) {
    std::u16string out;
    std::vector<char16_t> open;  // the containers around the current position
    char16_t previous = 0;       // the last character outside strings
    bool inString = false, inName = false, atStart = false, afterCarriageReturn = false;
    for (size_t i = 0; i < written.size(); ++i) {
        const char16_t c = written[i];
        if (!inString) {
            if (c == u'"') {
                inString = true;
                atStart = true;
                afterCarriageReturn = false;
                inName = !open.empty() && open.back() == u'{' && (previous == u'{' || previous == u',');
            } else if (c == u'{' || c == u'[') {
                open.push_back(c);
            } else if ((c == u'}' || c == u']') && !open.empty()) {
                open.pop_back();
            }
            previous = c;
            out += c;
            continue;
        }
        if (c == u'\\' && i + 1 < written.size()) {
            const char16_t escaped = written[++i];
            if (escaped == u'n' && !afterCarriageReturn && !(inName && atStart)) out += u"\\r";
            out += c;
            out += escaped;
            afterCarriageReturn = escaped == u'r';
        } else {
            inString = c != u'"';
            out += c;
            afterCarriageReturn = false;
        }
        atStart = false;
    }
    return out;
}

// Reads written JSON and writes it again: what the reader made of it. It must read.
inline std::u16string readBack(std::u16string_view written) {
    JsonDocument doc;
    int32_t status = 0, position = 0;
    FUZZ_CHECK(doc.parseWide(written, JsonDocument::kDecodeUnicodeEscapes, &status, &position));
    return doc.toJsonWide(u"");
}

// Checks that compact written JSON reads back as the same tree, up to the line-feed rewrite, and returns
// what it read back as. Line feeds that come back as CR LF can make two member names equal, which then
// merge as duplicates do; such a text needs one round to settle, and from there on it must stay.
inline std::u16string checkReadsBack(std::u16string_view written) {
    const std::u16string once = readBack(written);
    const std::u16string expected = withLineFeedsAsRead(written);
    if (once != expected) {
        FUZZ_CHECK(expected != written);
        FUZZ_CHECK(readBack(once) == once);
    }
    return once;
}

// True when some number below `node` has a blank inside its text form. The reader takes such a number
// (from a lenient text like [+7 +]) with the blanks in its text form but counts only the other units
// for its length, so written out and read back it loses as many units at its end: a text form that
// shrinks on every round, by design, and no fixed point.
inline bool hasBlankInNumber(const JsonNode& node, int depth = 0) {
    const JsonValueKind kind = node.getKind();
    if (kind == JsonValueKind::Real || kind == JsonValueKind::Integer) {
        const std::u16string form = node.getTextFormWide(u"");
        return form.find_first_of(u" \t\r\n") != std::u16string::npos;
    }
    if (depth > 2000) return true;  // deep enough to stop looking; only the checks are skipped
    std::vector<JsonNode> children;
    node.getChildren({}, children);
    for (const JsonNode& child : children) {
        if (hasBlankInNumber(child, depth + 1)) return true;
    }
    return false;
}

}  // namespace jdsm::fuzz
