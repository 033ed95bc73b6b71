#include "http/HeaderRules.h"

#include <gtest/gtest.h>

namespace jdsm {
namespace {

TEST(HeaderLine, SplitsAtTheFirstColonAndTrims) {
    struct Case {
        const char* line;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"Time: 12:30", "Time", "12:30"},
        {"Accept : x", "Accept", "x"},
        {"no colon here", "", ""},
        {"Referer: https://h/p?a=1", "Referer", "https://h/p?a=1"},
        {": value", "", "value"},
        {"\xA1\xA1Name\xA1\xA1:\xA1\xA1v", "Name", "v"},  // the ideographic space trims too
    };
    for (const Case& c : cases) {
        EXPECT_EQ(headerLineName(c.line), c.name) << c.line;
        EXPECT_EQ(headerLineValue(c.line), c.value) << c.line;
    }
}

TEST(CollectResponseCookies, TakesThePairsOfExactSetCookieLines) {
    struct Case {
        const char* headers;
        const char* cookies;
    };
    const Case cases[] = {
        {"Set-Cookie: sid=1; Path=/\r\nSet-Cookie: uid=2", "sid=1; uid=2"},
        {"set-cookie: sid=1", ""},
        {"Content-Type: text/html\r\nServer: x", ""},
        {"", ""},
        {"Content-Length: 3\r\nSet-Cookie: a=1; HttpOnly\r\nServer: x\r\nSet-Cookie: b=2", "a=1; b=2"},
        {"Set-Cookie: a=1\r\n", "a=1"},
        {"Set-Cookie: a=1\r\nSet-Cookie: a=2", "a=1; a=2"},  // two pairs of one name both stay
        {"Set-Cookie: \r\nSet-Cookie: b=2", "; b=2"},        // an empty pair is kept in its place
        {"Set-Cookie: ;Path=/", ""},
        {"Set-Cookie:x=1", ""},  // the name needs the colon-and-space
    };
    for (const Case& c : cases)
        EXPECT_EQ(collectResponseCookies(c.headers), c.cookies) << c.headers;
}

TEST(MergeCookieText, NewPairsFirstThenOldPairsNotSetAgain) {
    struct Case {
        const char* cookie;
        const char* newCookies;
        const char* merged;
    };
    const Case cases[] = {
        {"sid=1; uid=2", "uid=3; lang=4", "uid=3; lang=4; sid=1"},
        {"sid=1; uid=2", "sid=deleted", "uid=2"},
        {"sid=1;sid=2", "", "sid=1"},
        {"note=x y", "", "note=xy"},
        {"", "", ""},
        {"", "uid=3; uid=3", "uid=3"},
        {"", "uid=3; uid=4", "uid=3; uid=4"},
        {"a=1;   b=2", "b=3", "b=3; a=1"},
        {"a=1; b=2", "a=deleted; b=deleted", ""},
        {"flag; a=1", "flag", "flag; a=1"},  // a pair without "=" is named by itself
    };
    for (const Case& c : cases) {
        Text cookie = c.cookie;
        Text newCookies = c.newCookies;
        EXPECT_EQ(mergeCookieText(cookie, newCookies), c.merged) << c.cookie << " + " << c.newCookies;
        EXPECT_EQ(cookie, c.merged);
        EXPECT_EQ(newCookies, removeSpaces(c.newCookies));
    }
}

TEST(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
    EXPECT_EQ(cookieName(" sid =a=b"), "sid");
    EXPECT_EQ(cookieName(" flag "), "flag");
    EXPECT_EQ(cookieName("=x"), "");
    const TextList pairs = {"a=1", "b=2", "c"};
    EXPECT_TRUE(hasCookieNamed(pairs, "b"));
    EXPECT_TRUE(hasCookieNamed(pairs, "c"));
    EXPECT_FALSE(hasCookieNamed(pairs, "B"));
    EXPECT_FALSE(hasCookieNamed({}, ""));
}

TEST(RemoveDuplicateItems, KeepsFirstOccurrencesInOrder) {
    EXPECT_EQ(removeDuplicateItems("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(removeDuplicateItems("a=1; a=2", "; "), "a=1; a=2");
    EXPECT_EQ(removeDuplicateItems("", "; "), "");
    EXPECT_EQ(removeDuplicateItems("x,,y,,", ","), "x,,y");  // the empty piece counts once
    EXPECT_EQ(indexOfItem({"a", "b", "b"}, "b"), 2);
    EXPECT_EQ(indexOfItem({"a"}, "A"), -1);
}

TEST(NormalizeHeaderText, CapitalisesNameWordsAndDropsLinesWithoutColon) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"\r\nAccept: */*\r\nReferer: u", "Accept: */*\r\nReferer: u"},
        {"user-agent: x", "User-Agent: x"},
        {"x-requested-with: y", "X-Requested-With: y"},
        {"content-TYPE: z", "Content-TYPE: z"},
        {"referer: https://h:8443/a:b", "Referer: https://h:8443/a:b"},
        {"junk\r\na: 1\r\n\r\nmore junk", "A: 1"},
        {"junk\r\n\r\nonly", ""},
        {" accept: x", " accept: x"},  // the first character is the space
        {"x-a--: v", "X-A--: v"},      // trailing dashes survive
        {"-a: v", "-A: v"},
        {"a-\xC4\xE3-b: v", "A-\xC4\xE3-B: v"},  // a double-byte word stays as it is
        {"a:B:c", "A:B:c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(normalizeHeaderText(c.in), c.out) << c.in;
    EXPECT_EQ(capitalizeFirst(""), "");
    EXPECT_EQ(capitalizeFirst("\xC4\xE3x"), "\xC4\xE3x");
    EXPECT_EQ(capitalizeFirst("{x"), "{x");
}

TEST(EncodeBase64, FollowsRfc4648) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"user:pa ss", "dXNlcjpwYSBzcw=="},
    };
    for (const auto& [in, out] : vectors)
        EXPECT_EQ(encodeBase64(textToBytes(in)), out) << in;
    EXPECT_EQ(encodeBase64(Bytes{0x00, 0xFB, 0xFF}), "APv/");  // the last two letters of the alphabet
}

}  // namespace
}  // namespace jdsm
