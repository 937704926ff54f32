// Stored setting texts from a hand-edited or damaged file: each conversion gives a value in its
// range or the fallback, and a position written back as text reads back as the same number.

#include "app/settings.h"
#include "fuzzcheck.h"

#include <QString>

#include <cmath>
#include <cstdint>

using namespace vistrel;
using namespace vistrel::settingstext;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const int i16 = toInt16(text, 12345);
    FUZZ_CHECK(i16 >= -32768 && i16 <= 32767);
    const int button = toButtonState(text, 7);
    FUZZ_CHECK(button == 0 || button == 1 || button == 7);
    const double twips = toTwips(text, 3000.5);
    FUZZ_CHECK(std::isfinite(twips));
    FUZZ_CHECK(twips == 3000.5 || std::fabs(twips) <= 2147483648.0);

    const QString written = fromNumber(twips);
    FUZZ_CHECK(!written.isEmpty());
    FUZZ_CHECK(toTwips(written, -1.25) == twips);
    return 0;
}
