#include "http/HeaderRules.h"

#include "text/Extract.h"

namespace jdsm {

namespace {
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPairSeparator = "; ";
}  // namespace

Text headerLineName(std::string_view line) {
    const int32_t colon = find(line, ":");
    if (colon == -1) return {};
    return trim(left(line, colon - 1));
}

Text headerLineValue(std::string_view line) {
    const int32_t colon = find(line, ":");
    if (colon == -1) return {};
    return trim(dropLeft(line, colon));
}

Text collectResponseCookies(std::string_view responseHeaders) {
    Text result;
    for (const Text& line : split(responseHeaders, kCrLf)) {
        if (textBefore(line, ": ") != "Set-Cookie") continue;
        // Only the pair counts: the attributes after its first ";" are not kept.
        const Text pair = contains(line, ";") ? trim(textBetween(line, "Set-Cookie:", ";"))
                                              : trim(replace(line, "Set-Cookie:", "", 1, -1, false));
        result += pair;
        result += kPairSeparator;
    }
    if (right(result, 2) == kPairSeparator) result = dropRight(result, 2);
    return result;
}

Text mergeCookieText(Text& cookie, Text& newCookies) {
    cookie = removeSpaces(cookie);
    newCookies = removeSpaces(newCookies);
    TextList merged = split(newCookies, ";");
    for (const Text& oldPair : split(cookie, ";")) {
        // The list grows as old pairs join it, so only the first old pair of a name is kept.
        if (!hasCookieNamed(merged, cookieName(oldPair))) merged.push_back(oldPair);
    }
    Text text;
    for (const Text& pair : merged) {
        if (right(pair, 8) == "=deleted") continue;
        text += pair;
        text += kPairSeparator;
    }
    text = dropRight(text, 2);
    cookie = removeDuplicateItems(text, kPairSeparator);
    return cookie;
}

Text cookieName(std::string_view pair) {
    const int32_t eq = find(pair, "=");
    if (eq == -1) return trim(pair);
    return trim(left(pair, eq - 1));
}

bool hasCookieNamed(const TextList& pairs, std::string_view name) {
    for (const Text& pair : pairs) {
        if (cookieName(pair) == name) return true;
    }
    return false;
}

Text removeDuplicateItems(std::string_view text, std::string_view separator) {
    TextList seen;
    Text out;
    for (Text& piece : split(text, separator)) {
        if (indexOfItem(seen, piece) != -1) continue;
        out += piece;
        out += separator;
        seen.push_back(std::move(piece));
    }
    return dropRight(out, static_cast<int32_t>(separator.size()));
}

int32_t indexOfItem(const TextList& items, std::string_view item) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == item) return static_cast<int32_t>(i) + 1;
    }
    return -1;
}

Text normalizeHeaderText(std::string_view headerText) {
    Text out;
    bool first = true;
    for (const Text& line : split(headerText, kCrLf)) {
        const int32_t colon = find(line, ":");
        if (colon == -1) continue;
        const Text name = left(line, colon - 1);
        Text newName;
        if (!contains(name, "-")) {
            newName = capitalizeFirst(name);
        } else {
            bool firstWord = true;
            for (const Text& word : split(name, "-")) {
                if (!firstWord) newName += '-';
                newName += capitalizeFirst(word);
                firstWord = false;
            }
        }
        // A name ending in dashes rejoins shorter (split drops the empty tail), so the rest of the line
        // is taken from where the new name ends: the trailing dashes come back from the original.
        if (!first) out += kCrLf;
        out += newName;
        out += dropLeft(line, newName.length());
        first = false;
    }
    return out;
}

Text capitalizeFirst(std::string_view text) {
    if (text.empty()) return {};
    std::string out(text);
    if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return Text(std::move(out));
}

Text encodeBase64(const Bytes& bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        const uint32_t group = (uint32_t{bytes[i]} << 16) | (n > 1 ? uint32_t{bytes[i + 1]} << 8 : 0u) |
                               (n > 2 ? uint32_t{bytes[i + 2]} : 0u);
        out += kAlphabet[(group >> 18) & 0x3F];
        out += kAlphabet[(group >> 12) & 0x3F];
        out += n > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        out += n > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    return Text(std::move(out));
}

}  // namespace jdsm
