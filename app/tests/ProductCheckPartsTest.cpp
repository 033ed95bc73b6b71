// The pure parts of the product check: the title reduction, the stock reply unwrapping, and what may
// reach the browser and how.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Endpoints.h"
#include "app/ProductCheck.h"
#include "app/UrlOpener.h"
#include "json/JsonDocument.h"
#include "text/CodePage.h"

namespace jdsm {
namespace {

Text local(std::string_view utf8) {
    return Text(codepage::utf8ToLocalString(utf8));
}

TEST(ReduceTitle, KeepsTheProductName) {
    struct Case {
        const char* title;  // UTF-8; 【 and 】 are two bytes each in the local code page
        const char* name;
    };
    const Case cases[] = {
        // The usual page title: name, a bracketed part, the shop's suffix.
        {"测试商品 一号【行情 报价 价格 评测】-京东", "测试商品 一号"},
        // A leading tag: its 【 lies in the first seven bytes and is passed over, its 】 cuts it off.
        {"【京东超市】测试商品【行情 报价】-京东", "测试商品"},
        {"【自营】商品【行情】-京东", "商品"},
        // The only 【 within the first seven bytes: no usable name.
        {"【自营】测试商品 大包装", ""},
        {"商品【行情 报价】-京东", ""},
        // Byte 8 is the first place a 【 counts; byte 7 is not.
        {"1234567【行情】", "1234567"},
        {"123456【行情】-京东", ""},
        // No 【 at all, or no title.
        {"测试商品 一号 大包装", ""},
        {"", ""},
        // A 】 before the cut leaves what follows the last one.
        {"旧】款】测试商品【行情】", "测试商品"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reduceTitle(local(c.title)), local(c.name)) << c.title;
    }
}

TEST(UnwrapStockReply, CutsTheFixedWrapperAndDecodesTheWords) {
    const Text reply =
        R"(jQuery1234567({"stock":{"StockStateName":"\u73b0\u8d27","jdPrice":{"p":"12.90"}}}))";
    const Text json = unwrapStockReply(reply);
    EXPECT_EQ(json, local(R"({"stock":{"StockStateName":"现货","jdPrice":{"p":"12.90"}}})"));
    JsonDocument document;
    ASSERT_TRUE(document.parse(json));
    EXPECT_EQ(document.getText("stock.StockStateName"), local("现货"));
    EXPECT_EQ(document.getText("stock.jdPrice.p"), "12.90");
}

TEST(UnwrapStockReply, CutsByWidthNotByMarker) {
    // Without its wrapper the JSON loses fourteen bytes in front and one at the end, and is spoilt.
    const Text bare = R"({"stock":{"StockStateName":"\u73b0\u8d27","jdPrice":{"p":"1"}}})";
    const Text cut = unwrapStockReply(bare);
    EXPECT_EQ(cut, local(R"(ckStateName":"现货","jdPrice":{"p":"1"}})"));
    JsonDocument document;
    document.parse(cut);
    EXPECT_EQ(document.getText("stock.StockStateName"), "");
    // Fourteen bytes or less leave nothing.
    EXPECT_EQ(unwrapStockReply("jQuery1234567("), "");
    EXPECT_EQ(unwrapStockReply(""), "");
    EXPECT_EQ(unwrapStockReply("jQuery1234567()"), "");
}

TEST(UnwrapStockReply, TurnsEveryQuoteBackslashQuoteIntoANumber) {
    // The decoder makes a doubled backslash one, so a string holding a backslash comes out as
    // quote-backslash-quote, which would spoil the JSON; each becomes the string "99999".
    const Text reply = R"(jQuery1234567({"a":"\\","b":"\\","c":1}))";
    const Text json = unwrapStockReply(reply);
    EXPECT_EQ(json, R"({"a":"99999","b":"99999","c":1})");
    JsonDocument document;
    ASSERT_TRUE(document.parse(json));
    EXPECT_EQ(document.getText("b"), "99999");
}

TEST(IsWebAddress, OnlyHttpAndHttpsLinksPass) {
    struct Case {
        const char* url;
        bool web;
    };
    const Case cases[] = {
        {"https://127.0.0.1:8443/u/100012043978", true},
        {"http://item.example/1.html", true},
        {"HTTPS://ITEM.EXAMPLE/1.html", true},
        {"Http://item.example/", true},
        {"https://", false},
        {"http://", false},
        {"", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"-a", false},
        {"--new-window=https://x", false},
        {" https://item.example/", false},
        {"httpx://item.example/", false},
        {"https:/item.example/", false},
        {"ftp://item.example/", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isWebAddress(c.url), c.web) << c.url;
    }
}

// A program that stands in for the browser: it writes its argument count and each argument on a line
// of its own to `out`, then renames the file into place so that a reader never sees half of it.
class FakeBrowser {
  public:
    explicit FakeBrowser(const std::string& name)
        : dir_(std::filesystem::temp_directory_path() /
               ("jdsm-opener-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        program_ = dir_ / name;
        std::ofstream script(program_);
        script << "#!/bin/sh\n"
               << "n=0; for c in '" << dir_.string() << "'/call-*; do [ -e \"$c\" ] && n=$((n+1)); done\n"
               << "f='" << dir_.string() << "/tmp-'$$\n"
               << "echo $# > \"$f\"\n"
               << "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$f\"; done\n"
               << "/bin/mv \"$f\" '" << dir_.string() << "/call-'$n\n";
        script.close();
        std::filesystem::permissions(program_, std::filesystem::perms::owner_all);
    }
    ~FakeBrowser() { std::filesystem::remove_all(dir_); }

    std::string program() const { return program_.string(); }
    std::string dir() const { return dir_.string(); }

    // The arguments of the n-th start (0-based), once it has happened; nothing if it does not come
    // within the deadline.
    std::optional<std::vector<std::string>> awaitCall(int n) {
        const auto path = dir_ / ("call-" + std::to_string(n));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!std::filesystem::exists(path)) {
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // polling a file, deadline above
        }
        std::ifstream in(path);
        int count = 0;
        in >> count;
        in.ignore(1);
        std::vector<std::string> args;
        for (std::string line; std::getline(in, line);)
            args.push_back(line);
        EXPECT_EQ(static_cast<int>(args.size()), count) << "an argument held a line break";
        return args;
    }
    int calls() const {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            n += entry.path().filename().string().rfind("call-", 0) == 0;
        return n;
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path program_;
};

class EnvironmentVariable {
  public:
    EnvironmentVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvironmentVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DesktopUrlOpener, HandsTheAddressOverAsOneArgumentWithoutAShell) {
    FakeBrowser browser("recorder");
    // The first command cannot be started, so the next one of the list is taken.
    EnvironmentVariable env("BROWSER", "jdsm-no-such-browser:" + browser.program());
    DesktopUrlOpener opener;

    const std::string urls[] = {
        "https://127.0.0.1:8443/u/100012043978",
        // What a shell would act on must arrive as written.
        "https://x.example/a;touch${IFS}pwned?q=$(id)&r=`id`|cat>out 'b' \"c\" *",
    };
    for (size_t i = 0; i < std::size(urls); ++i) {
        opener.open(urls[i]);
        const auto args = browser.awaitCall(static_cast<int>(i));
        ASSERT_TRUE(args) << "the browser was not started for " << urls[i];
        EXPECT_EQ(*args, std::vector<std::string>{urls[i]});
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "pwned"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "out"));
}

TEST(DesktopUrlOpener, PlacesTheAddressWhereTheCommandSays) {
    FakeBrowser browser("recorder");
    EnvironmentVariable env("BROWSER", browser.program() + " --new-tab %s --private");
    DesktopUrlOpener().open("https://item.example/1.html");
    const auto args = browser.awaitCall(0);
    ASSERT_TRUE(args);
    EXPECT_EQ(*args, (std::vector<std::string>{"--new-tab", "https://item.example/1.html", "--private"}));
}

TEST(DesktopUrlOpener, WithoutBrowserVariableUsesTheDesktopOpener) {
    FakeBrowser browser("xdg-open");
    EnvironmentVariable noBrowser("BROWSER", std::nullopt);
    EnvironmentVariable path("PATH", browser.dir());
    DesktopUrlOpener().open("http://item.example/2.html");
    const auto args = browser.awaitCall(0);
    ASSERT_TRUE(args);
    EXPECT_EQ(*args, std::vector<std::string>{"http://item.example/2.html"});
}

TEST(DesktopUrlOpener, NeverStartsAnythingForALinkThatIsNotAWebAddress) {
    FakeBrowser browser("recorder");
    EnvironmentVariable env("BROWSER", browser.program());
    DesktopUrlOpener opener;
    for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "-a", "--version", ""}) {
        opener.open(url);
    }
    // A web address after them is the first and only start: the refused ones started nothing (they
    // are turned down before anything is spawned, so none can arrive later).
    opener.open("https://item.example/3.html");
    const auto args = browser.awaitCall(0);
    ASSERT_TRUE(args);
    EXPECT_EQ(*args, std::vector<std::string>{"https://item.example/3.html"});
    EXPECT_EQ(browser.calls(), 1);
}

TEST(Endpoints, TheEnvironmentOverridesTheBuiltHosts) {
    EnvironmentVariable stock("JDSM_STOCK_HOST", "127.0.0.1:8443");
    EnvironmentVariable chat("JDSM_CHAT_HOST", "");  // set but empty: the build's host stays
    EnvironmentVariable product("JDSM_PRODUCT_HOST", std::nullopt);
    const Endpoints built = [] {
        EnvironmentVariable noStock("JDSM_STOCK_HOST", std::nullopt);
        return Endpoints::fromEnvironment();
    }();
    const Endpoints e = Endpoints::fromEnvironment();
    EXPECT_EQ(e.stock, "https://127.0.0.1:8443");
    EXPECT_EQ(e.chat, built.chat);
    EXPECT_EQ(e.product, built.product);
    EXPECT_NE(built.stock, e.stock);
    for (const Text* base : {&built.product, &built.chat, &built.stock, &built.affiliate}) {
        EXPECT_EQ(find(*base, "https://"), 1) << *base;
        EXPECT_GT(base->length(), 8) << "no host built in";
    }
}

}  // namespace
}  // namespace jdsm
