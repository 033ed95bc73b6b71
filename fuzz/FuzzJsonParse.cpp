// The JSON parser on arbitrary text, in both text forms and with every option combination.
//
// Input: one option byte (bits 0-1: parse options; bit 2: UTF-16 form, the rest read as little-endian
// units), then the text.
//
// Beyond not crashing: the status and error position keep their documented ranges, a failed parse
// leaves an empty root, and parsing into a re-used document gives what a fresh document gives.

#include <string>

#include "FuzzInput.h"
#include "json/JsonDocument.h"

using namespace jdsm;

namespace {

struct Result {
    bool ok;
    int32_t status;
    int32_t position;
    std::u16string json;
};

Result parseOnce(JsonDocument& doc, bool wide, std::string_view text, std::u16string_view units,
                 int32_t options) {
    Result r{};
    r.status = 99;
    r.position = -99;
    r.ok = wide ? doc.parseWide(units, options, &r.status, &r.position)
                : doc.parse(text, options, &r.status, &r.position);
    r.json = doc.toJsonWide(u"");
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t flags = in.byte();
    const int32_t options = flags & 3;
    const bool wide = (flags & 4) != 0;
    const std::string_view text = in.rest();
    std::u16string units(text.size() / 2, u'\0');
    std::memcpy(units.data(), text.data(), units.size() * 2);

    JsonDocument doc;
    const Result first = parseOnce(doc, wide, text, units, options);
    FUZZ_CHECK(first.ok == (first.status == 0));
    FUZZ_CHECK(first.status == 0 || (first.status <= -2 && first.status >= -7));
    FUZZ_CHECK(first.position >= 0);
    if (first.ok) FUZZ_CHECK(first.position == 0);
    if (wide) {
        const size_t length = std::u16string_view(units).substr(0, units.find(u'\0')).size();
        FUZZ_CHECK(static_cast<size_t>(first.position) <= length + 1);
        if (first.status == -5) FUZZ_CHECK(static_cast<size_t>(first.position) == length + 1);
    }
    if (!first.ok) FUZZ_CHECK(doc.getCount() == 0);

    // The same text again into the now used document, then into a fresh one: a re-used document must
    // not keep anything of its earlier contents.
    const Result again = parseOnce(doc, wide, text, units, options);
    FUZZ_CHECK(again.status == first.status && again.position == first.position);
    JsonDocument fresh;
    const Result fromFresh = parseOnce(fresh, wide, text, units, options);
    FUZZ_CHECK(fromFresh.status == first.status && fromFresh.position == first.position);
    if (first.ok) FUZZ_CHECK(again.json == fromFresh.json && again.json == first.json);
    return 0;
}
