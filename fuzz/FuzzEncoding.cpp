// Escape decoding and the conversions of reply bytes into local texts.
//
// Input: the bytes, read as a text, as UTF-8, as UTF-16 and as a script string literal body.
//
// Checked beyond not crashing: plain ASCII passes through the UTF-8 conversion unchanged, the two
// UTF-8 entries agree, and the script-level `unescape` leaves a text without "%" alone and never
// lengthens one.

#include <string>

#include "FuzzInput.h"
#include "text/Encoding.h"
#include "text/ScriptString.h"

using namespace jdsm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view view(reinterpret_cast<const char*>(data), size);
    const Bytes raw(data, data + size);

    (void)decodeEscapes(view);

    const Text local = utf8ToLocal(raw);
    FUZZ_CHECK(utf8ToLocal(view) == local);
    if (fuzz::isAscii(view)) FUZZ_CHECK(local == Text(view));
    (void)utf16BytesToText(raw);

    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    (void)script::decodeLiteral(units);
    const std::u16string unescaped = script::unescape(units);
    FUZZ_CHECK(unescaped.size() <= units.size());
    if (units.find(u'%') == std::u16string::npos) FUZZ_CHECK(unescaped == units);
    return 0;
}
