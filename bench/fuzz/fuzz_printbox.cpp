// The print preview's four boxes, split from the input at line ends: reading never crashes, a
// page read has no negative size and a whole top, a refusal names its box.

#include "fuzzcheck.h"
#include "print/printlayout.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString all = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList parts = all.split(QLatin1Char('\n'));
    while (parts.size() < 4)
        parts.append(QString());
    const PageBoxTexts texts{parts[0], parts[1], parts[2], parts[3]};

    const PageParamsResult result = readPageParams(texts);
    if (result.params) {
        FUZZ_CHECK(result.problem.isEmpty());
        FUZZ_CHECK(result.params->height >= 0 && result.params->width >= 0);
        FUZZ_CHECK(std::isfinite(result.params->height) && std::isfinite(result.params->width));
        FUZZ_CHECK(std::isfinite(result.params->left));
    } else {
        FUZZ_CHECK(!result.problem.isEmpty());
    }
    for (const QString &part : parts) {
        if (const auto inches = parseInches(part)) {
            FUZZ_CHECK(std::isfinite(*inches));
            if (const auto top = roundTopInches(*inches))
                FUZZ_CHECK(std::fabs(double(*top) - double(*inches)) <= 0.5);
        }
    }
    return 0;
}
