// The text primitives and the extraction helpers on arbitrary texts, positions and counts.
//
// Input: an option byte (bit 0: ignore case), three numbers (see fuzz::Input::number), then
// zero-separated texts: the text, a sought text or marker, a second marker or replacement.
//
// Checked beyond not crashing: a reported match really is there and lies where it may; split joined
// by its separator gives the text back when the text does not end in the separator; trim, removeSpaces
// and toUpper are idempotent; the extraction helpers cut a prefix, a piece or a suffix of the text.

#include <algorithm>

#include "FuzzInput.h"
#include "text/Extract.h"
#include "text/Text.h"

using namespace jdsm;

namespace {

bool sameText(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (ignoreCase) {
            if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) return false;
    }
    return true;
}

// A position p (1-based) at which `sought` stands in `text`.
bool standsAt(std::string_view text, std::string_view sought, int32_t p, bool ignoreCase) {
    return p >= 1 && static_cast<size_t>(p) - 1 + sought.size() <= text.size() &&
           sameText(text.substr(static_cast<size_t>(p) - 1, sought.size()), sought, ignoreCase);
}

Text join(const TextList& pieces, std::string_view separator) {
    Text out;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) out += separator;
        out += pieces[i];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const bool ignoreCase = (in.byte() & 1) != 0;
    const int32_t a = in.number();
    const int32_t b = in.number();
    const int32_t c = in.number();
    const Text text(in.field());
    const Text sought(in.field());
    const Text other(in.field());
    const int32_t length = text.length();

    const int32_t found = find(text, sought, a, ignoreCase);
    if (found != -1) {
        FUZZ_CHECK(standsAt(text, sought, found, ignoreCase));
        if (!sought.empty()) FUZZ_CHECK(found >= a);  // an empty one is found at 1 anyway
    }
    const int32_t last = findLast(text, sought, std::nullopt, ignoreCase);
    if (last != -1) FUZZ_CHECK(standsAt(text, sought, last, ignoreCase));
    if (found != -1 && a <= 1 && !sought.empty()) FUZZ_CHECK(last >= found);
    const int32_t lastBefore = findLast(text, sought, a, ignoreCase);
    if (lastBefore != -1) {
        FUZZ_CHECK(standsAt(text, sought, lastBefore, ignoreCase));
        FUZZ_CHECK(static_cast<int64_t>(lastBefore) + sought.length() - 1 <= static_cast<int64_t>(a) - 1);
    }

    FUZZ_CHECK(left(text, a).length() == std::clamp(a, 0, length));
    FUZZ_CHECK(right(text, a).length() == std::clamp(a, 0, length));
    const Text mid = middle(text, a, b);
    FUZZ_CHECK(mid.length() <= std::max(b, 0) && text.view().find(mid.view()) != std::string_view::npos);

    if (!ignoreCase) FUZZ_CHECK(replace(text, sought, sought, a, b) == text);
    if (found == -1 && a <= 1) FUZZ_CHECK(replace(text, sought, other, a, b, !ignoreCase) == text);
    (void)replace(text, sought, other, a, c, !ignoreCase);

    if (!sought.empty() && !text.view().ends_with(sought.view()))
        FUZZ_CHECK(join(split(text, sought), sought) == text);

    const Text trimmed = trim(text);
    FUZZ_CHECK(trim(trimmed) == trimmed);
    FUZZ_CHECK(text.view().find(trimmed.view()) != std::string_view::npos);
    const Text spaceless = removeSpaces(text);
    FUZZ_CHECK(removeSpaces(spaceless) == spaceless);
    const Text upper = toUpper(text);
    FUZZ_CHECK(upper.length() == length && toUpper(upper) == upper);
    (void)charCode(text, a);
    (void)repeat(std::clamp(b, -1, 64), sought);

    FUZZ_CHECK(bytesToText(textToBytes(text)) == text);
    const Bytes raw(data, data + size);
    const Bytes soughtBytes = textToBytes(sought);
    (void)bytesLeft(raw, a);
    (void)bytesMiddle(raw, a, b);
    FUZZ_CHECK(replaceBytes(raw, soughtBytes, soughtBytes, a, c) == raw);
    (void)replaceBytes(raw, soughtBytes, textToBytes(other), a, c);
    (void)numberToText(a);
    (void)numberToText(static_cast<int64_t>(a) * b);
    (void)numberToText(static_cast<double>(a) / (b == 0 ? 3 : b));

    const Text before = textBefore(text, sought, a, ignoreCase);
    FUZZ_CHECK(text.view().starts_with(before.view()));
    const Text between = textBetween(text, sought, other, a, ignoreCase);
    FUZZ_CHECK(text.view().find(between.view()) != std::string_view::npos);
    const Text after = textAfterLast(text, sought, a, ignoreCase);
    FUZZ_CHECK(text.view().ends_with(after.view()));
    const Text afterAll = textAfterLast(text, sought, std::nullopt, ignoreCase);
    FUZZ_CHECK(text.view().ends_with(afterAll.view()));
    FUZZ_CHECK(text.view().ends_with(dropLeft(text, a).view()));
    FUZZ_CHECK(text.view().starts_with(dropRight(text, a).view()));
    return 0;
}
