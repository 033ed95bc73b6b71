// bench-json: our document beside RapidJSON (DOM), nlohmann::json and simdjson (DOM) on the three
// corpus files, plus a path query and the cost of the arena with and without a lock.
//
// After the Google Benchmark table it prints, per file, the median parse time (thread CPU time) of our
// parseWide (on the text already in UTF-16) and of RapidJSON (on the UTF-8 file) from runs of its own:
//   SUMMARY parse <file> ours_ms=<median> rapidjson_ms=<median> ratio=<rapidjson_ms/ours_ms>
// and the same for writing a parsed document back out (our toJsonWide, RapidJSON's Writer):
//   SUMMARY write <file> ours_ms=<median> rapidjson_ms=<median> ratio=<rapidjson_ms/ours_ms>

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "json/JsonArena.h"
#include "json/JsonDocument.h"
#include "text/CodePage.h"

namespace {

using jdsm::JsonDocument;

struct Corpus {
    std::string name;
    std::string utf8;
    std::u16string wide;
    std::string local;  // code page 936, when the file's characters all exist there
    bool localExact = false;
    const char* path3;  // a three-step path for the query benchmark
};

std::vector<Corpus>& corpus() {
    static std::vector<Corpus> files = [] {
        std::vector<Corpus> out;
        const std::pair<const char*, const char*> names[] = {
            {"canada.json", "features[0].type"},
            {"citm_catalog.json", "events.138586341.name"},
            {"twitter.json", "statuses[0].text"},
        };
        for (const auto& [name, path] : names) {
            std::ifstream in(std::string(JDSM_CORPUS_DIR) + "/json/" + name, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "bench-json: cannot read %s/json/%s\n", JDSM_CORPUS_DIR, name);
                std::exit(1);
            }
            std::stringstream ss;
            ss << in.rdbuf();
            Corpus c;
            c.name = name;
            c.utf8 = ss.str();
            c.wide = jdsm::codepage::utf8ToWide(c.utf8);
            c.wide.push_back(u'\0');
            c.local = jdsm::codepage::wideToLocal(c.wide.substr(0, c.wide.size() - 1));
            c.localExact = jdsm::codepage::localToWide(c.local) + u'\0' == c.wide;
            c.path3 = path;
            out.push_back(std::move(c));
        }
        return out;
    }();
    return files;
}

void BM_OursParseWide(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    for (auto _ : state) {
        JsonDocument doc;
        benchmark::DoNotOptimize(doc.parseWide(c.wide));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.utf8.size()));
}

void BM_OursParseLocal(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    if (!c.localExact) {
        state.SkipWithError("characters outside code page 936");
        return;
    }
    for (auto _ : state) {
        JsonDocument doc;
        benchmark::DoNotOptimize(doc.parse(c.local));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.utf8.size()));
}

void BM_RapidJsonParse(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(c.utf8.c_str());
        benchmark::DoNotOptimize(d.HasParseError());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.utf8.size()));
}

void BM_NlohmannParse(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    for (auto _ : state) {
        auto j = nlohmann::json::parse(c.utf8);
        benchmark::DoNotOptimize(j.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.utf8.size()));
}

void BM_SimdjsonParse(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    const simdjson::padded_string padded(c.utf8);
    simdjson::dom::parser parser;  // reused, as simdjson is meant to be used
    for (auto _ : state) {
        auto doc = parser.parse(padded);
        benchmark::DoNotOptimize(doc.error());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.utf8.size()));
}

void BM_OursWrite(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    JsonDocument doc;
    doc.parseWide(c.wide);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.toJsonWide(u"").size());
}

void BM_RapidJsonWrite(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    rapidjson::Document d;
    d.Parse(c.utf8.c_str());
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetSize());
    }
}

void BM_NlohmannWrite(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    const auto j = nlohmann::json::parse(c.utf8);
    for (auto _ : state)
        benchmark::DoNotOptimize(j.dump().size());
}

void BM_OursGetText3(benchmark::State& state, size_t file) {
    const Corpus& c = corpus()[file];
    JsonDocument doc;
    doc.parseWide(c.wide);
    if (doc.getText(c.path3).empty()) state.SkipWithError("path not found");
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.getText(c.path3));
}

// The small-document case of the product check: parse one stock reply, read one value.
void BM_OursStockReply(benchmark::State& state) {
    const std::string reply =
        "{\"stock\":{\"StockState\":33,\"StockStateName\":\"\xCF\xD6\xBB\xF5\",\"area\":{\"provinceName\":"
        "\"x\"},"
        "\"jdPrice\":{\"id\":\"100012043978\",\"p\":\"2799.00\",\"op\":\"2999.00\"},\"serviceInfo\":\"\","
        "\"isPurchase\":true,\"rn\":-1,\"ir\":[{\"resourceCode\":\"a\",\"showName\":\"b\"}]},\"choseSuit\":[]"
        "}";
    for (auto _ : state) {
        JsonDocument doc;
        doc.parse(reply);
        benchmark::DoNotOptimize(doc.getText("stock.StockStateName", 1));
    }
}

// What a lock per allocation would cost a document arena (one thread, never contended).
void BM_ArenaAllocate(benchmark::State& state) {
    const bool locked = state.range(0) != 0;
    std::mutex m;
    for (auto _ : state) {
        auto* a = jdsm::json_detail::Arena::create();
        for (int i = 0; i < 10000; ++i) {
            if (locked) {
                std::lock_guard<std::mutex> g(m);
                benchmark::DoNotOptimize(a->allocate(64));
            } else {
                benchmark::DoNotOptimize(a->allocate(64));
            }
        }
        jdsm::json_detail::Arena::destroy(a);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Median of the thread's CPU time per run: on a machine shared with other work, wall-clock times swing
// with the load while CPU time stays put.
// Medians of the thread's CPU time per run, ours and theirs taken in turns so that both see the same
// load: on a machine shared with other work, wall-clock times swing with it while CPU time holds better.
template <class F, class G>
std::pair<double, double> medianMs(F&& ours, G&& theirs, int runs) {
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        double t0 = threadCpuMs();
        ours();
        a.push_back(threadCpuMs() - t0);
        t0 = threadCpuMs();
        theirs();
        b.push_back(threadCpuMs() - t0);
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

void printSummary() {
    constexpr int kRuns = 31;
    for (const Corpus& c : corpus()) {
        const auto [ours, rapid] = medianMs(
            [&] {
                JsonDocument doc;
                benchmark::DoNotOptimize(doc.parseWide(c.wide));
            },
            [&] {
                rapidjson::Document d;
                d.Parse(c.utf8.c_str());
                benchmark::DoNotOptimize(d.HasParseError());
            },
            kRuns);
        std::printf("SUMMARY parse %s ours_ms=%.3f rapidjson_ms=%.3f ratio=%.2f\n", c.name.c_str(), ours,
                    rapid, rapid / ours);
    }
    for (const Corpus& c : corpus()) {
        JsonDocument doc;
        doc.parseWide(c.wide);
        rapidjson::Document d;
        d.Parse(c.utf8.c_str());
        const auto [ours, rapid] = medianMs([&] { benchmark::DoNotOptimize(doc.toJsonWide(u"").size()); },
                                            [&] {
                                                rapidjson::StringBuffer buffer;
                                                rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
                                                d.Accept(writer);
                                                benchmark::DoNotOptimize(buffer.GetSize());
                                            },
                                            kRuns);
        std::printf("SUMMARY write %s ours_ms=%.3f rapidjson_ms=%.3f ratio=%.2f\n", c.name.c_str(), ours,
                    rapid, rapid / ours);
    }
    for (const Corpus& c : corpus()) {
        std::printf("NOTE %s code page 936 parse: %s\n", c.name.c_str(),
                    c.localExact ? "timed (all characters exist in code page 936)"
                                 : "skipped (characters outside code page 936)");
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (size_t i = 0; i < corpus().size(); ++i) {
        const std::string& n = corpus()[i].name;
        benchmark::RegisterBenchmark(("parse/ours_wide/" + n).c_str(), BM_OursParseWide, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("parse/ours_cp936/" + n).c_str(), BM_OursParseLocal, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("parse/rapidjson/" + n).c_str(), BM_RapidJsonParse, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("parse/nlohmann/" + n).c_str(), BM_NlohmannParse, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("parse/simdjson/" + n).c_str(), BM_SimdjsonParse, i)
            ->Unit(benchmark::kMillisecond);
    }
    for (size_t i = 0; i < corpus().size(); ++i) {
        const std::string& n = corpus()[i].name;
        benchmark::RegisterBenchmark(("write/ours_toJsonWide/" + n).c_str(), BM_OursWrite, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("write/rapidjson_writer/" + n).c_str(), BM_RapidJsonWrite, i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("write/nlohmann_dump/" + n).c_str(), BM_NlohmannWrite, i)
            ->Unit(benchmark::kMillisecond);
    }
    for (size_t i = 0; i < corpus().size(); ++i) {
        benchmark::RegisterBenchmark(("getText3/ours/" + corpus()[i].name).c_str(), BM_OursGetText3, i);
    }
    benchmark::RegisterBenchmark("stockReply/ours_parse_getText", BM_OursStockReply);
    benchmark::RegisterBenchmark("arena/allocate64x10000", BM_ArenaAllocate)->Arg(0)->ArgName("locked");
    benchmark::RegisterBenchmark("arena/allocate64x10000", BM_ArenaAllocate)->Arg(1)->ArgName("locked");

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
