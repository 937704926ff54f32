// File names as bytes: any name read from a folder becomes text and back into exactly the same
// bytes, so that it can still be opened and deleted; any text becomes bytes without a crash.

#include "common/nativename.h"
#include "fuzzcheck.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = fromNative(bytes);
    FUZZ_CHECK(toNative(text) == bytes);
    FUZZ_CHECK(fromNative(toNative(text)) == text);

    // Arbitrary UTF-16, lone surrogates included, as text typed or made by code.
    const QString any(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const QByteArray out = toNative(any);
    FUZZ_CHECK(toNative(fromNative(out)) == out);
    return 0;
}
