#include "app/Globals.h"

#include <utility>

#include "text/CodePage.h"

namespace jdsm {

Text SharedText::load() const {
    std::lock_guard lock(lock_);
    return text_;
}

void SharedText::store(Text text) {
    {
        std::lock_guard lock(lock_);
        std::swap(text_, text);
    }
    // `text` now holds the old value and is released here, outside the lock.
}

namespace {

// Never freed while the program runs: a worker that exit gave up on may still reach it (see
// releaseGlobals); initGlobals in tests replaces it only when nothing runs.
std::unique_ptr<Globals>& current() {
    static std::unique_ptr<Globals> instance = std::make_unique<Globals>();
    return instance;
}

}  // namespace

Globals& globals() {
    return *current();
}

void initGlobals() {
    current() = std::make_unique<Globals>();
}

void releaseGlobals() {
    Globals& g = globals();
    g.gAreaCode.store({});
    g.gClientCookie.store({});
    {
        std::lock_guard lock(g.announcementLock);
        g.gNotified.destroy();
    }
    g.ProvinceNames.clear();
    g.AreaCodes.clear();
    // A reset that is under way ends first; one that starts later finds the table without a store.
    g.gResetTimer.stopAndWait();
}

const std::array<ProvinceRow, 31> kProvinceTable = {{
    {"北京", "1_72_2799_0"},         {"上海", "2_2815_51975_0"},      {"天津", "3_51035_55896_0"},
    {"重庆", "4_113_9786_0"},        {"河北", "5_142_143_5008"},      {"山西", "6_303_304_36864"},
    {"河南", "7_412_415_47057"},     {"辽宁", "8_560_567_52113"},     {"吉林", "9_639_640_39035"},
    {"黑龙江", "10_727_728_10680"},  {"内蒙古", "11_799_801_32705"},  {"江苏", "12_904_905_50596"},
    {"山东", "13_2900_2908_25810"},  {"安徽", "14_1151_1153_19348"},  {"浙江", "15_1158_1224_46473"},
    {"福建", "16_1303_1305_48922"},  {"湖北", "17_1432_1435_45254"},  {"湖南", "18_1482_1485_49015"},
    {"广东", "19_1601_3633_0"},      {"广西", "20_3168_3169_12663"},  {"江西", "21_1827_1828_40900"},
    {"四川", "22_2103_2105_28036"},  {"海南", "23_3690_3693_53695"},  {"贵州", "24_2144_2145_21158"},
    {"云南", "25_4108_6823_11403"},  {"西藏", "26_3970_3972_12233"},  {"陕西", "27_2376_50230_53672"},
    {"甘肃", "28_2487_59294_59295"}, {"青海", "29_2580_21654_52769"}, {"宁夏", "30_2628_21651_51877"},
    {"新疆", "31_2652_36685_52685"},
}};

const Text& captionStart() {
    static const Text caption = codepage::utf8ToLocalString("开始监控");
    return caption;
}

const Text& captionPause() {
    static const Text caption = codepage::utf8ToLocalString("暂停监控");
    return caption;
}

}  // namespace jdsm
