#include "text/ScriptString.h"

// Literal rules of the script dialect the escape decoding was written against (a single-quoted
// string, read the way that engine reads it):
//
//   body holds         gives
//   \b \t \n \f \r     U+0008 U+0009 U+000A U+000C U+000D
//   \v                 "v"   (that engine never learnt the vertical-tab escape)
//   \' \" \\           apostrophe, double quote, backslash
//   \xHH               U+00HH; without two hex digits after it, "x"
//   \uHHHH             U+HHHH; without four hex digits after it, "u"
//   \0 .. \377         octal: the longest run of at most three octal digits not above 0377
//                      ("\400" is "\40" then "0", "\08" is U+0000 then "8")
//   \8 \9, \ + other   the character after the backslash
//   \ + LF or CR       line continuation: nothing (CR LF counts as one break)
//   raw LF, raw CR     syntax error
//   raw '              ends the literal early: treated as a syntax error, never as more script
//   final lone \       escapes the closing quote: syntax error
//   U+2028, U+2029     ordinary characters (that engine knows only LF and CR as line breaks; code
//                      page 936 has neither character, so texts never carry them anyway)

namespace jdsm::script {

namespace {

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The value of `digits` hex digits at `at`, or -1 when the text is too short or one is no hex digit.
int hexRun(std::u16string_view s, size_t at, size_t digits) {
    if (at + digits > s.size()) return -1;
    int v = 0;
    for (size_t k = 0; k < digits; ++k) {
        const int d = hexValue(s[at + k]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

bool isOctal(char16_t c) {
    return c >= u'0' && c <= u'7';
}

}  // namespace

std::optional<std::u16string> decodeLiteral(std::u16string_view body) {
    std::u16string out;
    out.reserve(body.size());
    size_t i = 0;
    while (i < body.size()) {
        const char16_t c = body[i];
        if (c == u'\'' || c == u'\n' || c == u'\r') return std::nullopt;
        if (c != u'\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 == body.size()) return std::nullopt;
        const char16_t e = body[i + 1];
        i += 2;
        switch (e) {
            case u'b':
                out.push_back(u'\b');
                break;
            case u't':
                out.push_back(u'\t');
                break;
            case u'n':
                out.push_back(u'\n');
                break;
            case u'f':
                out.push_back(u'\f');
                break;
            case u'r':
                out.push_back(u'\r');
                break;
            case u'\n':
                break;
            case u'\r':
                if (i < body.size() && body[i] == u'\n') ++i;
                break;
            case u'x':
            case u'u': {
                const size_t digits = e == u'x' ? 2 : 4;
                const int v = hexRun(body, i, digits);
                if (v < 0) {
                    out.push_back(e);
                } else {
                    out.push_back(static_cast<char16_t>(v));
                    i += digits;
                }
                break;
            }
            default:
                if (isOctal(e)) {
                    int v = e - u'0';
                    const size_t maxDigits = e <= u'3' ? 3 : 2;
                    for (size_t n = 1; n < maxDigits && i < body.size() && isOctal(body[i]); ++n, ++i)
                        v = v * 8 + (body[i] - u'0');
                    out.push_back(static_cast<char16_t>(v));
                } else {
                    out.push_back(e);  // \v, \8, \9, \' \" \\ and every other character
                }
        }
    }
    return out;
}

std::u16string unescape(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t k = 0; k < s.size(); ++k) {
        char16_t c = s[k];
        if (c == u'%') {
            int v;
            if (k + 1 < s.size() && s[k + 1] == u'u' && (v = hexRun(s, k + 2, 4)) >= 0) {
                c = static_cast<char16_t>(v);
                k += 5;
            } else if ((v = hexRun(s, k + 1, 2)) >= 0) {
                c = static_cast<char16_t>(v);
                k += 2;
            }
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace jdsm::script
