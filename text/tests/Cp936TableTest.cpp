// The conversion tables against the published code page 936 mapping table (CP936.TXT in the test
// corpus): every one of its 21920 mappings in both directions, and nothing beyond it.
//
// Result with glibc 2.36: no difference at all. glibc's CP936 maps exactly the table's 129 single
// bytes (0x80 to U+20AC included) and 21791 byte pairs, and maps back exactly the same units; the
// user-defined areas, which the published table leaves out, are left out by glibc too.
//
// Where an iconv ever disagrees, the published table is the one to follow: it is the code page the
// shop's pages and the program's own texts were written in, and the one the platform's conversion
// service implements. This test is what would notice.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "text/CodePage.h"

namespace jdsm::codepage {
namespace {

struct PublishedTable {
    std::map<uint32_t, char16_t> toUnicode;  // code (one byte, or lead << 8 | trail) -> unit
    std::map<char16_t, uint32_t> toCode;
};

PublishedTable readPublishedTable(const std::string& path) {
    PublishedTable t;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string code, unit;
        std::getline(fields, code, '\t');
        std::getline(fields, unit, '\t');
        if (unit.rfind("0x", 0) != 0) continue;  // lead bytes and undefined codes have no unit
        const auto c = static_cast<uint32_t>(std::stoul(code, nullptr, 16));
        const auto u = static_cast<char16_t>(std::stoul(unit, nullptr, 16));
        t.toUnicode[c] = u;
        t.toCode[u] = c;
    }
    return t;
}

std::string codeBytes(uint32_t code) {
    if (code < 0x100) return std::string(1, static_cast<char>(code));
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

TEST(Cp936Table, ConversionsMatchThePublishedTable) {
    const char* dir = std::getenv("JDSM_CORPUS_DIR");
    ASSERT_NE(dir, nullptr) << "JDSM_CORPUS_DIR is not set";
    const std::string path = std::string(dir) + "/cp936/CP936.TXT";
    const PublishedTable table = readPublishedTable(path);
    ASSERT_EQ(table.toUnicode.size(), 21920u) << "mappings read from " << path;
    ASSERT_EQ(table.toCode.size(), 21920u);

    int differences = 0;
    auto differ = [&differences] { return ++differences < 20; };  // report the first few in full

    // Every single byte and every byte pair a lead byte can start, mapped or not.
    for (uint32_t code = 0; code < 0x10000; ++code) {
        if (code >= 0x100 && (code >> 8 < 0x81 || code >> 8 > 0xFE)) continue;
        const std::u16string got = localToWide(codeBytes(code));
        const auto it = table.toUnicode.find(code);
        if (it != table.toUnicode.end()) {
            if (got != std::u16string(1, it->second) && differ())
                ADD_FAILURE() << std::hex << "code 0x" << code << " gives U+" << uint32_t(got[0])
                              << ", table U+" << uint32_t(it->second);
        } else {
            // Not a character: the lead byte becomes "?" and does not swallow its follower.
            const bool pair = code >= 0x100;
            if ((got.size() != (pair ? 2u : 1u) || got[0] != u'?') && differ())
                ADD_FAILURE() << std::hex << "unmapped code 0x" << code << " decodes as a character";
        }
    }

    // Every unit: the table's code, or "?" for a unit the code page lacks.
    for (uint32_t u = 0; u < 0x10000; ++u) {
        const std::string got = wideToLocal(std::u16string(1, static_cast<char16_t>(u)));
        const auto it = table.toCode.find(static_cast<char16_t>(u));
        const std::string expected = it != table.toCode.end() ? codeBytes(it->second) : "?";
        if (got != expected && differ())
            ADD_FAILURE() << std::hex << "U+" << u << " gives " << testing::PrintToString(got) << ", table "
                          << testing::PrintToString(expected);
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace jdsm::codepage
