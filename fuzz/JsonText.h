#pragma once
// What the JSON targets expect of written JSON read back.

#include <string>
#include <string_view>
#include <vector>

#include "json/JsonDocument.h"

namespace jdsm::fuzz {

// The reader turns a line-feed escape into CR LF unless a carriage return precedes it or it opens the
// string, so a lone line feed written out comes back as CR LF. This is that one rewrite, applied to
// written JSON (in which a backslash after a plain quote always opens a string).
inline std::u16string withLineFeedsAsRead(std::u16string_view written) {
    std::u16string out;
    bool afterCarriageReturn = false;
    bool atStringStart = false;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i] != u'\\' || i + 1 == written.size()) {
            out += written[i];
            afterCarriageReturn = false;
            atStringStart = written[i] == u'"';
            continue;
        }
        const char16_t escaped = written[++i];
        if (escaped == u'n' && !afterCarriageReturn && !atStringStart) out += u"\\r";
        out += u'\\';
        out += escaped;
        afterCarriageReturn = escaped == u'r';
        atStringStart = false;
    }
    return out;
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
