#pragma once
// Hands a web address to the user's browser. The product check calls `openUrl`; what carries it out is a
// replaceable opener so that tests record instead of starting a browser.

#include <memory>
#include <string_view>

#include "text/Text.h"

namespace jdsm {

class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    virtual void open(const Text& url) = 0;
};

// The desktop's way: the first command of $BROWSER that can be started (a colon-separated list; "%s"
// in a command stands for the address, else the address is its last argument), else xdg-open. The
// command is started directly, never through a shell, and is not waited for.
class DesktopUrlOpener : public UrlOpener {
  public:
    void open(const Text& url) override;
};

// True for the addresses the browser may receive: http:// and https:// ones (any letter case). Anything
// else a reply could carry (file:, javascript:, a text starting with "-" that a launcher would read as
// an option) must never reach the desktop.
bool isWebAddress(std::string_view url);

// Replaces the opener the program uses (the desktop opener until then); tests install a recorder.
void setUrlOpener(std::shared_ptr<UrlOpener> opener);

// Opens `url` in the browser; nothing is reported back.
void openUrl(const Text& url);

}  // namespace jdsm
