#pragma once
// Where the shop's four endpoints live. Each host ("host" or "host:port") is a deployment value: the
// build's default, overridden by the environment variable of the same name when the program starts.

#include <memory>

#include "text/Text.h"

namespace jdsm {

struct Endpoints {
    // Bases: "https://" and the host, nothing more.
    Text product;    // product pages, and the fallback link of an announcement
    Text chat;       // the chat-check service that names a product's vendor
    Text stock;      // stock by delivery area
    Text affiliate;  // affiliate links

    // The build's hosts, each replaced by its environment variable when that is set and not empty.
    static Endpoints fromEnvironment();
};

// The endpoints the product check uses; read from the environment on first use.
std::shared_ptr<const Endpoints> endpoints();
// Replaces them (tests point the check at a local shop).
void setEndpoints(const Endpoints& endpoints);

}  // namespace jdsm
