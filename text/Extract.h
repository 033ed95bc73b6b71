#pragma once
// Cutting pieces out of texts by markers: used to pull fields out of web pages and script replies and
// cookies out of response headers. Positions and lengths are bytes, 1-based, as for the primitives.

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/Text.h"

namespace jdsm {

// The text in front of the first `marker` found at or after `start` (omitted, 0 or negative: 1); the
// result always runs from the beginning of the text. Empty when the marker is missing.
Text textBefore(std::string_view text, std::string_view marker, std::optional<int32_t> start = std::nullopt,
                bool ignoreCase = false);

// The text between the first `startMarker` and the next `endMarker` after it. In both markers the five
// bytes "#引号" stand for a double quote, so callers can write markers that hold quotes.
Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::optional<int32_t> start = std::nullopt, bool ignoreCase = false);

// The text behind the last `marker` lying within the first start - 1 bytes (the whole text when
// `start` is omitted).
Text textAfterLast(std::string_view text, std::string_view marker,
                   std::optional<int32_t> start = std::nullopt, bool ignoreCase = false);

Text dropLeft(std::string_view text, int32_t n);   // without the first n bytes
Text dropRight(std::string_view text, int32_t n);  // without the last n bytes

}  // namespace jdsm
