#pragma once
// The bodies of the shop's replies, built the way the real endpoints write them. Pure functions, so the
// server only picks one and adds the faults.

#include "tools/mock-shop/Scenario.h"

#include <string>
#include <string_view>

namespace jdsm::mockshop {

// The product page in code page 936: a <title> of the form "name【行情 报价 价格 评测】-京东" (or the
// scenario's own), the category as "cat: [..]," in the page's script block, and the delisted notice
// "已下柜" only for a delisted product.
std::string productPage(const Product& product);
// Code page 936 page for an unknown product; its title has no "【", like the shop's catch-all page.
std::string notFoundPage();
// A plain HTML error page, as a front server sends for `status`.
std::string errorPage(int status);

// UTF-8 JSON of the chat check; `product` null for an unknown product (no "venderId").
std::string chatJson(const Product* product);
// ASCII JSON of the stock reply, every non-ASCII character as a \u escape. `product` null for an
// unknown product, which reads as out of stock without a price.
std::string stockJson(const Product* product, std::string_view skuId, std::string_view area,
                      const std::string& state);
// The shop's numeric code for a stock word ("现货" 33, "无货" 34, ...); 34 for words it does not know.
int stockStateCode(std::string_view state);
// UTF-8 JSON of the affiliate endpoint. `host` is the request's Host header, for the "{host}" of the
// link template; `product` null for an unknown product (a refusal).
std::string affiliateJson(const Product* product, std::string_view skuId, std::string_view host);

// "callback(json)"; the JSON alone when the request named no callback.
std::string wrapJsonp(std::string_view callback, std::string_view json);
// `size` bytes that are neither HTML nor JSON: binary bytes, zero bytes and stray brackets among them.
std::string garbage(std::size_t size);
// `body` grown to at least `size` bytes with filler the reader skips: an HTML comment before "</html>"
// for pages, blanks after the JSON otherwise (inside the JSONP wrapper when there is one).
std::string padPage(std::string body, std::size_t size);
std::string padJson(std::string_view callback, std::string json, std::size_t size);

}  // namespace jdsm::mockshop
