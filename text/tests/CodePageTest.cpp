#include "text/CodePage.h"

#include <gtest/gtest.h>

namespace jdsm::codepage {
namespace {

TEST(CodePage, RoundTripsChineseAndAscii) {
    EXPECT_EQ(localToWide("a\xCF\xD6\xBB\xF5"), u"a现货");
    EXPECT_EQ(wideToLocal(u"a现货"), "a\xCF\xD6\xBB\xF5");
    EXPECT_EQ(utf8ToWide("\xE7\x8E\xB0\xE8\xB4\xA7"), u"现货");
    EXPECT_EQ(utf8ToLocalString("现货"), "\xCF\xD6\xBB\xF5");
    EXPECT_EQ(localToWide(""), u"");
}

TEST(CodePage, UnitsTheCodePageLacksBecomeQuestionMarks) {
    EXPECT_EQ(wideToLocal(u"x\xD800y"), "x?y");   // lone surrogate
    EXPECT_EQ(wideToLocal(u"\U0001F600"), "??");  // a pair: one mark per unit
    EXPECT_EQ(wideToLocal(u"\u0E01"), "?");       // Thai is not in the code page
    EXPECT_EQ(localToWide("\x81"), u"?");         // a lead byte at the end
    EXPECT_EQ(localToWide("\x81\x7F"
                          "a"),
              u"?\x7F"
              "a");  // 0x7F is no trail byte
}

TEST(CodePage, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(utf8ToWide("a\xFF"
                         "b"),
              u"a\uFFFD"
              "b");
    EXPECT_EQ(utf8ToWide("a\xE7\x8E"), u"a\uFFFD\uFFFD");
}

}  // namespace
}  // namespace jdsm::codepage
