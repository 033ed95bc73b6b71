// The public corpus files: they parse, spot values read back, and every real is converted exactly.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "json/JsonDocument.h"
#include "text/CodePage.h"

namespace jdsm {
namespace {

std::u16string loadCorpus(const char* name) {
    const char* dir = std::getenv("JDSM_CORPUS_DIR");
    if (!dir) return {};
    std::ifstream in(std::string(dir) + "/json/" + name, std::ios::binary);
    if (!in) return {};
    std::stringstream ss;
    ss << in.rdbuf();
    return codepage::utf8ToWide(ss.str());
}

TEST(JsonCorpus, FilesParseAndAnswerQueries) {
    const std::u16string canada = loadCorpus("canada.json");
    const std::u16string citm = loadCorpus("citm_catalog.json");
    const std::u16string twitter = loadCorpus("twitter.json");
    if (canada.empty() || citm.empty() || twitter.empty())
        GTEST_SKIP() << "corpus not found (JDSM_CORPUS_DIR)";

    JsonDocument doc;
    ASSERT_TRUE(doc.parseWide(canada));
    EXPECT_EQ(doc.getText("type"), "FeatureCollection");
    EXPECT_EQ(doc.getText("features[0].geometry.coordinates[0][0][0]"), "-65.613616999999977");
    EXPECT_EQ(doc.getReal("features[0].geometry.coordinates[0][0][0]"), -65.613616999999977);

    ASSERT_TRUE(doc.parseWide(citm));
    EXPECT_EQ(doc.getText("events.138586341.name"), "30th Anniversary Tour");
    EXPECT_EQ(doc.getCount("events"), 184);

    ASSERT_TRUE(doc.parseWide(twitter));
    EXPECT_EQ(doc.getCount("statuses"), 100);
    EXPECT_EQ(doc.getText("search_metadata.count"), "100");
    EXPECT_EQ(doc.getInt64("statuses[0].id"), 505874924095815700);  // as written in the file
    EXPECT_EQ(doc.getText("statuses[0].id_str"), "505874924095815681");
}

TEST(JsonCorpus, EveryRealMatchesACorrectlyRoundedConversion) {
    const std::u16string canada = loadCorpus("canada.json");
    if (canada.empty()) GTEST_SKIP() << "corpus not found (JDSM_CORPUS_DIR)";
    JsonDocument doc;
    ASSERT_TRUE(doc.parseWide(canada));
    std::vector<JsonNode> pending{doc};
    size_t reals = 0;
    while (!pending.empty()) {
        JsonNode n = pending.back();
        pending.pop_back();
        if (n.getKind() == JsonValueKind::Real) {
            ++reals;
            const Text form = n.getTextForm();
            ASSERT_EQ(n.getReal(), std::strtod(form.c_str(), nullptr)) << form;
        }
        std::vector<JsonNode> children;
        n.getChildren("", children);
        pending.insert(pending.end(), children.begin(), children.end());
    }
    EXPECT_GT(reals, 100000u);
}

}  // namespace
}  // namespace jdsm
