#include "text/TimeRandom.h"

#include <chrono>
#include <cmath>
#include <ctime>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace jdsm {

namespace {

// A local date-time as a count of days (from 1899-12-30, the platform's convention) with the time of
// day as the fraction: the time stamp is defined as a difference of two such values.
double dateTimeValue(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                        std::chrono::day{static_cast<unsigned>(day)}};
    constexpr int kDaysFrom1899To1970 = 25569;
    return static_cast<double>(date.time_since_epoch().count() + kDaysFrom1899To1970) +
           (hour * 3600 + minute * 60 + second) / 86400.0;
}

}  // namespace

LocalTime systemLocalTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&secs, &tm);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return {tm.tm_year + 1900,
            tm.tm_mon + 1,
            tm.tm_mday,
            tm.tm_hour,
            tm.tm_min,
            tm.tm_sec,
            static_cast<int>(ms < 0 ? ms + 1000 : ms)};
}

Text timestampText(bool tenDigits, const LocalClock& clock) {
    const int ms = clock().millisecond;
    Text millis = numberToText(int32_t{ms});
    while (millis.length() < 3)
        millis = "0" + millis;

    const LocalTime now = clock();
    const double days = dateTimeValue(now.year, now.month, now.day, now.hour, now.minute, now.second) -
                        dateTimeValue(1970, 1, 1, 8, 0, 0);
    // The tiny addend keeps a whole second that the day fraction cannot represent exactly from being
    // truncated to the second before. Kept in 64 bits so the stamp stays right after January 2038.
    const auto seconds = static_cast<int64_t>(std::trunc(days * 86400 + 5.787037037037037e-6));

    Text out = numberToText(seconds) + millis;
    const int32_t width = tenDigits ? 10 : 13;
    if (tenDigits) out = left(out, 10);
    while (out.length() < width)
        out += '0';
    return out;
}

uint64_t readTickCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

int32_t randomInRange(int32_t low, int32_t high, const TickCounter& counter) {
    const auto t = static_cast<uint32_t>(counter());
    const uint32_t x = t * 214013u + 2531011u;
    const uint32_t r = (x >> 16) & 0x7FFF;
    if (high == 0) high = 0x7FFFFFFF;
    // Unsigned arithmetic keeps every pair of bounds defined; a span that wraps to 0 (the full 32-bit
    // range, or a high just below low) would otherwise divide by zero.
    const uint32_t span = static_cast<uint32_t>(high) - static_cast<uint32_t>(low) + 1u;
    const uint32_t offset = span == 0 ? r : r % span;
    return static_cast<int32_t>(static_cast<uint32_t>(low) + offset);
}

Text randomDigits(int32_t count, int32_t parity, const TickCounter& counter) {
    Text out;
    if (count <= 0) return out;
    out.reserve(static_cast<size_t>(count));
    for (int32_t n = 0; n < count; ++n) {
        int32_t digit;
        if (parity == 0) {
            digit = randomInRange(0, 9, counter);
        } else {
            const int32_t k = randomInRange(1, 5, counter);
            digit = parity == 1 ? 2 * k - 1 : 2 * k - 2;
        }
        out += static_cast<char>('0' + digit);
    }
    return out;
}

Text logTimeText(const LocalTime& t) {
    // 年 月 日 时 分 秒 in code page 936.
    constexpr std::string_view kYear = "\xC4\xEA", kMonth = "\xD4\xC2", kDay = "\xC8\xD5";
    constexpr std::string_view kHour = "\xCA\xB1", kMinute = "\xB7\xD6", kSecond = "\xC3\xEB";
    Text out = numberToText(int32_t{t.year}) + kYear + numberToText(int32_t{t.month}) + kMonth +
               numberToText(int32_t{t.day}) + kDay;
    if (t.second != 0) {
        out += numberToText(int32_t{t.hour}) + kHour + numberToText(int32_t{t.minute}) + kMinute +
               numberToText(int32_t{t.second}) + kSecond;
    } else if (t.minute != 0) {
        out += numberToText(int32_t{t.hour}) + kHour + numberToText(int32_t{t.minute}) + kMinute;
    } else if (t.hour != 0) {
        out += numberToText(int32_t{t.hour}) + kHour;
    }
    return out;
}

Text logTimeText(const LocalClock& clock) {
    return logTimeText(clock());
}

}  // namespace jdsm
