#pragma once
// Request time stamps, random callback digits and the time text of log lines. The clock and the
// counter behind them can be swapped, so that tests can fix the time and the "random" numbers.

#include <cstdint>
#include <functional>

#include "text/Text.h"

namespace jdsm {

// A reading of the local wall clock.
struct LocalTime {
    int year = 1970;      // e.g. 2020
    int month = 1;        // 1-12
    int day = 1;          // 1-31
    int hour = 0;         // 0-23
    int minute = 0;       // 0-59
    int second = 0;       // 0-59
    int millisecond = 0;  // 0-999
};

using LocalClock = std::function<LocalTime()>;
LocalTime systemLocalTime();

// Milliseconds since the Unix epoch as 13 digits (10 with `tenDigits`: the seconds), taking the
// local clock for UTC+8: right on a machine that runs in that zone, off by the zone difference
// elsewhere. The clock is read twice, milliseconds first. Short results are filled with "0" at the END.
Text timestampText(bool tenDigits = false, const LocalClock& clock = systemLocalTime);

// A fast-changing counter: the processor's time-stamp counter where there is one.
using TickCounter = std::function<uint64_t()>;
uint64_t readTickCounter();

// A number from low to high (a high of 0 stands for 0x7FFFFFFF), at most 32767 above low, drawn from
// one fresh counter reading. Calls close together may give equal numbers. A high below low is no
// range; it gives some number, and no failure.
int32_t randomInRange(int32_t low, int32_t high, const TickCounter& counter = readTickCounter);

// `count` random digits: parity 0 any digit, 1 odd digits only, any other value even digits only.
Text randomDigits(int32_t count, int32_t parity = 0, const TickCounter& counter = readTickCounter);

// The time text of a log line, in code page 936: "2020年2月9日14时5分7秒"; the trailing parts that are zero
// are left out ("14时5分", "14时", midnight gives the date alone).
Text logTimeText(const LocalTime& time);
Text logTimeText(const LocalClock& clock = systemLocalTime);

}  // namespace jdsm
