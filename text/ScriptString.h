#pragma once
// The two steps of the script host that escape decoding relies on, done without a script engine:
// reading the body of a single-quoted string literal of the classic browser script dialect, and that
// dialect's global `unescape`. Both work on UTF-16 units, as the engine does.

#include <optional>
#include <string>
#include <string_view>

namespace jdsm::script {

// The string value of a literal written as ' body '. Empty optional when the body cannot form such a
// literal (the engine would report a syntax error): a raw apostrophe, line feed or carriage return,
// or a final backslash that would escape the closing quote. The rules are listed in ScriptString.cpp.
std::optional<std::u16string> decodeLiteral(std::u16string_view body);

// %uXXXX becomes the unit XXXX and %XX the unit 00XX (hex digits of either case); a '%' that starts
// neither stays as it is.
std::u16string unescape(std::u16string_view text);

}  // namespace jdsm::script
