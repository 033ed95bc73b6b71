#pragma once
// Bridges between the encodings that web replies arrive in and the program's code page 936 texts.

#include <string_view>

#include "text/Text.h"

namespace jdsm {

// UTF-8 bytes as a local text. Characters the code page lacks and malformed sequences come out as "?";
// the text ends at the first zero character, if any.
Text utf8ToLocal(const Bytes& utf8);
Text utf8ToLocal(std::string_view utf8);

// Bytes read as UTF-16 little-endian text, as a local text. A leading byte-order mark is skipped, an odd
// last byte is ignored, and the text ends at the first zero unit.
Text utf16BytesToText(const Bytes& bytes);

// Decodes the backslash-u, percent-u and percent-hex escapes of a text (a stock reply carries its
// Chinese words as backslash-u escapes), keeping its line breaks and apostrophes. The other backslash
// sequences follow the string-literal rules of the script dialect the replies were written for (see
// ScriptString.cpp). A text that cannot be decoded so comes back as its own bytes read as UTF-16.
Text decodeEscapes(std::string_view text);

}  // namespace jdsm
