#pragma once
// The check of one product, run by a worker for one line of the ID box: the product page and the
// vendor, the stock for the picked province, and for a product in stock its affiliate link, opened in
// the browser once per clearing of the announcement memory. A check shows its outcome only through the
// log, the browser and the announcement memory; every failure ends it quietly.

#include <cstdint>
#include <string_view>

#include "text/Text.h"
#include "text/TimeRandom.h"

namespace jdsm {

// The worker routine: checks the product on the given 1-based line of the ID box as it reads now. A
// line number past the current list (the list was shortened) ends the check without a trace.
void checkProduct(int32_t lineNumber);

// The clock whose reading starts each log line; tests fix it. Empty: the local wall clock.
void setCheckClock(LocalClock clock);

// The product name out of a page title: the part before the first "【" at or after byte 8, and of
// that the part after its last "】" when it holds one. Empty when the title has no usable name.
Text reduceTitle(std::string_view pageTitle);

// The stock reply as the stock service wraps it, made ready to parse: escapes decoded, the
// "jQuery1" + six digits + "(" in front and the ")" at the end cut off (by their fixed widths), and
// every quote-backslash-quote turned into "99999" in quotes.
Text unwrapStockReply(std::string_view reply);

}  // namespace jdsm
