#pragma once
// What the JSON targets expect of written JSON read back.

#include <string>
#include <string_view>

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

}  // namespace jdsm::fuzz
