// Figures for the keyed table: insertion with growth, look-ups, the clear-and-refill cycle of the
// announcement memory, and the serialised form both ways. Keys look like product IDs.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "table/KeyedTable.h"

namespace {

using jdsm::KeyedTable;
using jdsm::Text;

std::vector<Text> productIds(int64_t n) {
    std::vector<Text> ids;
    ids.reserve(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        ids.emplace_back(std::to_string(100012043978 + i * 7919));
    return ids;
}

void setNewKeys(benchmark::State& state) {
    const auto ids = productIds(state.range(0));
    for (auto _ : state) {
        KeyedTable t;
        t.create(10, 3);
        for (const Text& id : ids)
            t.set(id, 1);
        benchmark::DoNotOptimize(t.count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(setNewKeys)->Arg(100)->Arg(10000)->Arg(1000000);

void getPresentAndAbsent(benchmark::State& state) {
    const auto ids = productIds(state.range(0));
    KeyedTable t;
    t.create(10, 3);
    for (size_t i = 0; i < ids.size(); i += 2)
        t.set(ids[i], 1);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.get(ids[i]).isZero());
        i = i + 1 == ids.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(getPresentAndAbsent)->Arg(100)->Arg(1000000);

// One minute of the monitor: a clear, then every product is looked up and marked.
void clearAndRemark(benchmark::State& state) {
    const auto ids = productIds(state.range(0));
    KeyedTable t;
    t.create(10, 3);
    for (auto _ : state) {
        t.clear();
        for (const Text& id : ids) {
            if (t.get(id).isZero()) t.set(id, 1);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(clearAndRemark)->Arg(50)->Arg(10000);

void toBytes(benchmark::State& state) {
    const auto ids = productIds(state.range(0));
    KeyedTable t;
    t.create(10, 10);
    for (const Text& id : ids)
        t.set(id, id);
    for (auto _ : state)
        benchmark::DoNotOptimize(t.toBytes());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(t.toBytes().size()));
}
BENCHMARK(toBytes)->Arg(10000);

void loadFromBytes(benchmark::State& state) {
    const auto ids = productIds(state.range(0));
    KeyedTable t;
    t.create(10, 10);
    for (const Text& id : ids)
        t.set(id, id);
    const jdsm::Bytes bytes = t.toBytes();
    for (auto _ : state) {
        KeyedTable loaded;
        benchmark::DoNotOptimize(loaded.loadFromBytes(bytes));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(loadFromBytes)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
