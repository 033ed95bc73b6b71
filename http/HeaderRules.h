#pragma once
// The text rules applied to request and response headers: splitting a header line, collecting the
// cookies a response sets, merging them into a caller's cookie text, and rewriting header names.
//
// Cookies are kept as one flat text of name=value pairs; attributes (domain, path, expiry) are not
// recorded, and a cookie only goes away when a response sets its value to the word "deleted".

#include <cstdint>
#include <string_view>

#include "text/Text.h"

namespace jdsm {

// The name of "Name: value": the text before the first colon, trimmed; empty without a colon.
Text headerLineName(std::string_view line);
// The value of "Name: value": the text after the first colon, trimmed; empty without a colon.
Text headerLineValue(std::string_view line);

// The name=value pairs that the Set-Cookie lines of a response header block set, joined by "; ".
// Only lines named exactly "Set-Cookie" (case-sensitive) count; attributes after the first ";" drop.
Text collectResponseCookies(std::string_view responseHeaders);

// Merges `newCookies` into `cookie`: the new pairs first, in their order, then the old pairs whose names
// the new text does not set. A pair whose value is "deleted" disappears together with its old pair.
// `cookie` receives the merged text (also returned); `newCookies` is left without spaces.
Text mergeCookieText(Text& cookie, Text& newCookies);

// The name of a name=value pair, trimmed; the whole pair trimmed when it has no "=".
Text cookieName(std::string_view pair);
bool hasCookieNamed(const TextList& pairs, std::string_view name);

// The pieces of `text` between `separator`s, each kept at its first occurrence only (exact equality).
Text removeDuplicateItems(std::string_view text, std::string_view separator);
// The 1-based index of the first element equal to `item`, or -1.
int32_t indexOfItem(const TextList& items, std::string_view item);

// Rewrites request header lines so every dash-separated word of a name starts upper-case, and drops
// the lines without a colon (among them the empty line a leading CR LF leaves). Values stay as given.
Text normalizeHeaderText(std::string_view headerText);
// Upper-cases the first byte when it is an ASCII a-z; a double-byte lead byte stays as it is.
Text capitalizeFirst(std::string_view text);

// RFC 4648 Base64 with the standard alphabet, "=" padding and no line breaks.
Text encodeBase64(const Bytes& bytes);

}  // namespace jdsm
