#include "app/UrlOpener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace jdsm {

namespace {

std::vector<std::string> splitOn(std::string_view s, char sep) {
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= s.size()) {
        const size_t to = std::min(s.find(sep, from), s.size());
        if (to > from) parts.emplace_back(s.substr(from, to - from));
        from = to + 1;
    }
    return parts;
}

// Starts argv[0] found on PATH without a shell; the child is reaped by a waiter thread so that no
// zombie is left behind. Returns false when the program cannot be started.
bool spawnDetached(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    try {
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the browser is running all the same; its exit leaves a zombie until
        // the program ends, which beats ending the check (and the program) here.
    }
    return true;
}

std::mutex gOpenerLock;
std::shared_ptr<UrlOpener> gOpener;

}  // namespace

bool isWebAddress(std::string_view url) {
    auto startsWithNoCase = [&](std::string_view prefix) {
        if (url.size() < prefix.size()) return false;
        for (size_t i = 0; i < prefix.size(); ++i) {
            const char c = url[i];
            const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
            if (lower != prefix[i]) return false;
        }
        return true;
    };
    return (startsWithNoCase("http://") && url.size() > 7) ||
           (startsWithNoCase("https://") && url.size() > 8);
}

void DesktopUrlOpener::open(const Text& url) {
    if (!isWebAddress(url)) return;
    if (const char* browser = std::getenv("BROWSER"); browser && *browser) {
        for (const std::string& command : splitOn(browser, ':')) {
            std::vector<std::string> args = splitOn(command, ' ');
            if (args.empty()) continue;
            bool placed = false;
            for (auto& a : args) {
                if (const size_t at = a.find("%s"); at != std::string::npos) {
                    a.replace(at, 2, url.str());
                    placed = true;
                }
            }
            if (!placed) args.push_back(url.str());
            if (spawnDetached(std::move(args))) return;
        }
    }
    spawnDetached({"xdg-open", url.str()});
}

void setUrlOpener(std::shared_ptr<UrlOpener> opener) {
    std::lock_guard lock(gOpenerLock);
    gOpener = std::move(opener);
}

void openUrl(const Text& url) {
    std::shared_ptr<UrlOpener> opener;
    {
        std::lock_guard lock(gOpenerLock);
        if (!gOpener) gOpener = std::make_shared<DesktopUrlOpener>();
        opener = gOpener;
    }
    opener->open(url);
}

}  // namespace jdsm
