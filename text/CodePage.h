#pragma once
// Conversions between code page 936 (the program's texts), UTF-16 (the JSON document) and UTF-8 (some
// web replies). The Linux implementation draws its mapping from glibc iconv; a Windows one could use
// the system's code-page API behind the same functions.
//
// - code page 936 -> UTF-16: every character becomes its UTF-16 unit; a byte sequence that is no
//   character of the code page becomes U+003F "?".
// - UTF-16 -> code page 936: every unit the code page can hold becomes its one or two bytes; any other
//   unit (lone surrogates and both halves of a pair included) becomes "?".
// - UTF-8 -> UTF-16: malformed sequences become U+FFFD, one per offending byte.
// None of them adds or expects a terminating zero; callers that need one append it.

#include <string>
#include <string_view>

namespace jdsm::codepage {

std::u16string localToWide(std::string_view cp936);
std::string wideToLocal(std::u16string_view utf16);
std::u16string utf8ToWide(std::string_view utf8);

// Appending forms for hot paths that reuse one buffer.
void appendLocalToWide(std::string_view cp936, std::u16string& out);
void appendWideToLocal(std::u16string_view utf16, std::string& out);

// The program keeps its own Chinese captions and words as UTF-8 in the source; this turns such a
// literal into a code page 936 text (the unit conversion above, through UTF-16).
std::string utf8ToLocalString(std::string_view utf8);

}  // namespace jdsm::codepage
