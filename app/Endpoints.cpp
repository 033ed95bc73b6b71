#include "app/Endpoints.h"

#include <cstdlib>
#include <memory>
#include <mutex>

namespace jdsm {

namespace {

Text base(const char* variable, const char* builtIn) {
    const char* env = std::getenv(variable);
    return Text("https://") + ((env && *env) ? env : builtIn);
}

std::mutex gLock;
std::shared_ptr<const Endpoints> gEndpoints;

}  // namespace

Endpoints Endpoints::fromEnvironment() {
    return Endpoints{
        base("JDSM_PRODUCT_HOST", JDSM_PRODUCT_HOST),
        base("JDSM_CHAT_HOST", JDSM_CHAT_HOST),
        base("JDSM_STOCK_HOST", JDSM_STOCK_HOST),
        base("JDSM_AFFILIATE_HOST", JDSM_AFFILIATE_HOST),
    };
}

std::shared_ptr<const Endpoints> endpoints() {
    std::lock_guard lock(gLock);
    if (!gEndpoints) gEndpoints = std::make_shared<const Endpoints>(Endpoints::fromEnvironment());
    return gEndpoints;
}

void setEndpoints(const Endpoints& e) {
    std::lock_guard lock(gLock);
    gEndpoints = std::make_shared<const Endpoints>(e);
}

}  // namespace jdsm
