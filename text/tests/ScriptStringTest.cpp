#include "text/ScriptString.h"

#include <gtest/gtest.h>

namespace jdsm::script {
namespace {

struct LiteralCase {
    std::u16string_view body;
    std::optional<std::u16string> value;
};

TEST(ScriptLiteral, EscapeTable) {
    const LiteralCase cases[] = {
        {u"plain 现货 \"q\"", u"plain 现货 \"q\""},
        {u"\\b\\t\\n\\f\\r", u"\b\t\n\f\r"},
        {u"\\v1", u"v1"},
        {u"\\'\\\"\\\\", u"'\"\\"},
        {u"\\x41\\x4g\\x", u"Ax4gx"},
        {u"\\u73b0\\u73B\\u", u"现u73Bu"},
        {u"\\101\\60\\0", std::u16string(u"A0\0", 3)},
        {u"\\377\\400\\08\\7777", std::u16string(u"\xFF 0\0"
                                                 u"8?77",
                                                 8)},
        {u"\\8\\9\\q\\%\\{", u"89q%{"},
        {u"a\\\nb\\\rc\\\r\nd", u"abcd"},
        {u"\u2028\\\u2029", u"\u2028\u2029"},
        {u"", u""},
        // Not literals: the engine would report a syntax error.
        {u"a\nb", std::nullopt},
        {u"a\rb", std::nullopt},
        {u"ab\\", std::nullopt},
        {u"a'b", std::nullopt},
        {u"a';evil();'", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = decodeLiteral(c.body);
        EXPECT_EQ(got.has_value(), c.value.has_value()) << testing::PrintToString(std::u16string(c.body));
        if (got && c.value) {
            EXPECT_EQ(*got, *c.value) << testing::PrintToString(std::u16string(c.body));
        }
    }
}

TEST(ScriptUnescape, PercentForms) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"%u73b0%u8D27", u"现货"},
        {u"%41%7a", u"Az"},
        {u"%E4", u"\u00E4"},
        {u"100%", u"100%"},
        {u"%u12%zz%4", u"%u12%zz%4"},
        {u"%U0041", u"%U0041"},  // only a lower-case u introduces four digits
        {u"%%41", u"%A"},
        {u"%u004", u"%u004"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(unescape(in), out) << testing::PrintToString(std::u16string(in));
}

}  // namespace
}  // namespace jdsm::script
