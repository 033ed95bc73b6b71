#pragma once
// The lenient JSON text parser behind parse, parseWide (and later setJson, mergeJson and create).

#include <cstdint>
#include <string_view>

#include "json/JsonModel.h"

namespace jdsm::json_detail {

// Option flags of a parse.
constexpr int32_t kDecodeUnicodeEscapes = 1;   // turn \uXXXX escapes in names and strings into units
constexpr int32_t kSkipOutsideContainers = 2;  // ignore text outside any container instead of reading it

// Status codes of a parse.
constexpr int32_t kParseOk = 0;
constexpr int32_t kParseNoDocument = -2;   // no node to parse into, or no text at all
constexpr int32_t kParseOutOfMemory = -3;  // out of memory, or a value failed to attach
constexpr int32_t kParseStructure = -4;    // a container, name or separator where none may stand
constexpr int32_t kParseUnclosed = -5;     // the text ended inside an object or array
constexpr int32_t kParseBadToken = -6;     // no value, or a value where none may stand
constexpr int32_t kParseOpenQuote = -7;    // a quote was never closed

// Parses `text` (UTF-16; it ends at its first zero unit or at its end) into `node`, which is cleared
// first and receives the parsed value. On failure the node is cleared again and `errorPosition` (when
// given) receives the 0-based unit index the status describes.
int32_t parseInto(Node* node, std::u16string_view text, int32_t options, int32_t* errorPosition);

// Decimal readers shared with the typed readers of the document: leading blanks, one sign, digits up to
// the first other character; out-of-range values saturate. No digits give 0.
int64_t readInt64(const char16_t* s, size_t n);
// The longest decimal real at the start of `s` (after blanks), as a correctly rounded double; out of
// range gives +-infinity or 0 as strtod does. No digits give 0.0. Independent of the C locale.
double readReal(const char* s, size_t n);

// A parsed real keeps the token it was written as, and its value is worked out from that token only
// when something reads it as a number: most replies are only read as text, and the exact decimal
// conversion is the costliest step of parsing number-heavy documents. Until then the value holds this
// signalling NaN, which no arithmetic produces and no setter stores (setters store the quiet NaN).
inline constexpr uint64_t kPendingRealBits = 0x7FF4000000000001ULL;
void markRealPending(Node* n);
// The value of a real node, converted from its token when still pending.
double realValue(const Node* n);

// Unescapes n units of `in` into `out` (which may be `in` itself) and returns the units written.
size_t unescape(const char16_t* in, size_t n, char16_t* out, bool decodeUnicode);

}  // namespace jdsm::json_detail
