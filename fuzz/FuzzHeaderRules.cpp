// The header and cookie rules on texts that a server or a caller controls.
//
// Input: zero-separated texts: a header line or block, a cookie text, a new-cookie text, a separator.
//
// Checked beyond not crashing, for ASCII input (a double-byte character may swallow a separator byte,
// which is intended): merged cookie pairs hold no spaces, semicolons or deleted pairs, and the new
// cookie text comes back space-free; collected cookies never span lines; header-name normalisation is
// idempotent; Base64 decodes back to its input.

#include <array>
#include <optional>

#include "FuzzInput.h"
#include "http/HeaderRules.h"
#include "text/Text.h"

using namespace jdsm;

namespace {

std::optional<Bytes> decodeBase64(std::string_view s) {
    if (s.size() % 4 != 0) return std::nullopt;
    std::array<int, 256> value{};
    value.fill(-1);
    const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < alphabet.size(); ++i)
        value[static_cast<unsigned char>(alphabet[i])] = static_cast<int>(i);
    Bytes out;
    for (size_t i = 0; i < s.size(); i += 4) {
        uint32_t group = 0;
        int pads = 0;
        for (size_t j = 0; j < 4; ++j) {
            const char c = s[i + j];
            if (c == '=' && i + 4 == s.size() && j >= 2) {
                ++pads;
                group <<= 6;
                continue;
            }
            if (pads > 0 || value[static_cast<unsigned char>(c)] < 0) return std::nullopt;
            group = (group << 6) | static_cast<uint32_t>(value[static_cast<unsigned char>(c)]);
        }
        out.push_back(static_cast<uint8_t>(group >> 16));
        if (pads < 2) out.push_back(static_cast<uint8_t>(group >> 8));
        if (pads < 1) out.push_back(static_cast<uint8_t>(group));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const std::string_view headers = in.field();
    const std::string_view oldCookies = in.field();
    const std::string_view newCookiesIn = in.field();
    const std::string_view separator = in.field();
    const bool ascii = fuzz::isAscii(std::string_view(reinterpret_cast<const char*>(data), size));

    const Text name = headerLineName(headers);
    const Text value = headerLineValue(headers);
    if (headers.find(':') == std::string_view::npos) FUZZ_CHECK(name.empty() && value.empty());

    const Text collected = collectResponseCookies(headers);
    if (ascii) FUZZ_CHECK(collected.view().find("\r\n") == std::string_view::npos);

    Text cookie(oldCookies);
    Text newCookies(newCookiesIn);
    const Text merged = mergeCookieText(cookie, newCookies);
    FUZZ_CHECK(merged == cookie);
    if (ascii) {
        FUZZ_CHECK(newCookies.view().find(' ') == std::string_view::npos);
        for (const Text& pair : split(merged, "; ")) {
            FUZZ_CHECK(pair.view().find_first_of(" ;") == std::string_view::npos);
            FUZZ_CHECK(!pair.view().ends_with("=deleted"));
        }
    }
    const TextList pairs = split(oldCookies, ";");
    for (const Text& pair : pairs)
        FUZZ_CHECK(hasCookieNamed(pairs, cookieName(pair)));

    (void)removeDuplicateItems(headers, separator);

    const Text normalized = normalizeHeaderText(headers);
    FUZZ_CHECK(normalizeHeaderText(normalized) == normalized);
    (void)capitalizeFirst(headers);

    const Bytes raw(data, data + size);
    const Text base64 = encodeBase64(raw);
    FUZZ_CHECK(base64.length() == static_cast<int32_t>((raw.size() + 2) / 3 * 4));
    const std::optional<Bytes> decoded = decodeBase64(base64);
    FUZZ_CHECK(decoded && *decoded == raw);
    return 0;
}
