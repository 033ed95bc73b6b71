// Serialisation of a parsed document and parsing it back.
//
// Input: one option byte (bits 0-1: parse options of the first parse; bit 2: UTF-16 form), then the
// text. Whatever parses must write out as JSON that parses again into the same tree: compact output
// is a fixed point of write-parse-write (up to the reader's documented line-feed rewrite), the pretty
// form reads back as the same tree, and a deep copy is itself such a fixed point.

#include <string>

#include "FuzzInput.h"
#include "JsonText.h"
#include "json/JsonDocument.h"

using namespace jdsm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t flags = in.byte();
    const int32_t options = flags & 3;
    const std::string_view text = in.rest();

    JsonDocument doc;
    if (flags & 4) {
        std::u16string units(text.size() / 2, u'\0');
        std::memcpy(units.data(), text.data(), units.size() * 2);
        if (!doc.parseWide(units, options)) return 0;
    } else if (!doc.parse(text, options)) {
        return 0;
    }

    if (fuzz::hasBlankInNumber(doc)) return 0;
    const std::u16string written = doc.toJsonWide(u"", false, true);
    const std::u16string readAs = fuzz::checkReadsBack(written);
    FUZZ_CHECK(fuzz::readBack(doc.toJsonWide(u"", true, true)) == readAs);

    // A copy writes its numbers afresh from their values, so it need not equal the original text; but
    // it must read back as written, and copying the copy must change nothing more.
    JsonDocument copy;
    FUZZ_CHECK(copy.create());
    FUZZ_CHECK(copy.addMemberCopy("", "c", doc));
    const std::u16string copied = copy.toJsonWide(u"c", false, true);
    (void)fuzz::checkReadsBack(copied);
    FUZZ_CHECK(copy.addMemberCopy("", "d", copy.getMember("", "c")));
    FUZZ_CHECK(copy.toJsonWide(u"d", false, true) == copied);
    return 0;
}
