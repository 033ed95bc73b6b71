// Loading a keyed table from untrusted bytes.
//
// Input: the bytes handed to loadFromBytes. A refused load must leave the previous store as it was;
// an accepted one must give a table whose every key is found again, and whose serialised form loads
// back into the same entries. (Not into the same bytes: the entry order of the form follows the bucket
// count, which a load sets from the number of listed entries, repeated keys included.)

#include <algorithm>
#include <utility>
#include <vector>

#include "FuzzInput.h"
#include "table/KeyedTable.h"

using namespace jdsm;

namespace {

std::vector<std::pair<TableItem, TableItem>> sortedEntries(const KeyedTable& t) {
    std::vector<std::pair<TableItem, TableItem>> out;
    t.forEach([&](const TableItem& k, const TableItem& v, int32_t) { return out.emplace_back(k, v), 0; });
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes bytes(data, data + size);

    KeyedTable table;
    FUZZ_CHECK(table.create(10, 3));
    FUZZ_CHECK(table.set(Text("kept"), 7) == 0);
    if (!table.loadFromBytes(bytes)) {
        FUZZ_CHECK(table.count() == 1 && table.get(Text("kept")).payload == 7);
        return 0;
    }

    std::vector<TableItem> keys;
    std::vector<TableItem> values;
    FUZZ_CHECK(table.keys(keys) == table.count());
    FUZZ_CHECK(table.values(values) == table.count());
    for (size_t i = 0; i < keys.size(); ++i) {
        FUZZ_CHECK(table.containsKey(keys[i]));
        FUZZ_CHECK(table.containsValue(values[i]));
    }

    const Bytes written = table.toBytes();
    KeyedTable reloaded;
    FUZZ_CHECK(reloaded.loadFromBytes(written));
    FUZZ_CHECK(reloaded.count() == table.count());
    FUZZ_CHECK(sortedEntries(reloaded) == sortedEntries(table));
    KeyedTable again;
    FUZZ_CHECK(again.loadFromBytes(reloaded.toBytes()));
    FUZZ_CHECK(sortedEntries(again) == sortedEntries(table));

    // The loaded table keeps working as a table.
    for (const TableItem& key : keys)
        FUZZ_CHECK(table.remove(key));
    FUZZ_CHECK(table.count() == 0);
    return 0;
}
