// The interval box's text: Val, rounding and the range check never crash, and an accepted
// entry is always a whole number of seconds in range, a refused one always has a reason.

#include "common/rounding.h"
#include "fuzzcheck.h"
#include "slideshow/slideinterval.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace vistrel;

static void checkEntry(const QString &text)
{
    const double value = basicVal(text);
    FUZZ_CHECK(!std::isnan(value));
    const IntervalEntry entry = readIntervalEntry(text);
    if (entry.accepted) {
        FUZZ_CHECK(entry.seconds >= 0 && entry.seconds <= maxSlideInterval);
        FUZZ_CHECK(entry.reason.isEmpty());
        FUZZ_CHECK(intervalMilliseconds(entry.seconds) == std::int32_t(entry.seconds) * 1000);
    } else {
        FUZZ_CHECK(!entry.reason.isEmpty());
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    checkEntry(QString::fromUtf8(bytes, qsizetype(size)));
    checkEntry(QString::fromLatin1(bytes, qsizetype(size)));
    if (size >= sizeof(double)) {
        double v;
        std::memcpy(&v, data, sizeof v);
        const double r = roundHalfEven(v);
        if (std::isfinite(v)) {
            FUZZ_CHECK(std::fabs(r - v) <= 0.5);
            FUZZ_CHECK(r == std::floor(r));
        }
    }
    return 0;
}
