#include "text/Extract.h"

namespace jdsm {

namespace {
// "#引号" in code page 936: '#', then 0xD2 0xFD, 0xBA 0xC5.
constexpr std::string_view kQuoteMark = "#\xD2\xFD\xBA\xC5";
}  // namespace

Text textBefore(std::string_view text, std::string_view marker, std::optional<int32_t> start,
                bool ignoreCase) {
    const int32_t from = (!start || *start <= 0) ? 1 : *start;
    const int32_t p = find(text, marker, from, ignoreCase);
    if (p == -1) return {};
    return left(text, p - 1);
}

Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::optional<int32_t> start, bool ignoreCase) {
    const Text open = replace(startMarker, kQuoteMark, "\"");
    const Text close = replace(endMarker, kQuoteMark, "\"");
    const int32_t p = find(text, open, start.value_or(1), ignoreCase);
    if (p == -1) return {};
    const int32_t b = p + open.length();
    const int32_t q = find(text, close, b, ignoreCase);
    if (q == -1) return {};
    return middle(text, b, q - b);
}

Text textAfterLast(std::string_view text, std::string_view marker, std::optional<int32_t> start,
                   bool ignoreCase) {
    const auto len = static_cast<int32_t>(text.size());
    const int32_t p = findLast(text, marker, start ? *start : len + 1, ignoreCase);
    if (p == -1) return {};
    return right(text, len - static_cast<int32_t>(marker.size()) - p + 1);
}

Text dropLeft(std::string_view text, int32_t n) {
    if (n <= 0) return Text(text);
    return right(text, static_cast<int32_t>(text.size()) - n);
}

Text dropRight(std::string_view text, int32_t n) {
    if (n <= 0) return Text(text);
    return left(text, static_cast<int32_t>(text.size()) - n);
}

}  // namespace jdsm
