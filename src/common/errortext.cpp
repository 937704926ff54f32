#include "common/errortext.h"

#include <cstring>

namespace vistrel {

namespace {

// strerror_r comes in two forms: the GNU one returns the text (in the buffer or not), the POSIX
// one fills the buffer and returns 0. Either way the text is strerror's, without its shared
// buffer, which a worker thread's call could overwrite while another reads it.
struct ErrorBuffer
{
    char text[256] = {};
    const char *of(const char *given) const { return given; }
    const char *of(int failed) const { return failed == 0 ? text : nullptr; }
};

} // namespace

QString errorText(int error)
{
    ErrorBuffer buffer;
    const char *text = buffer.of(::strerror_r(error, buffer.text, sizeof buffer.text));
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("Unknown error %1").arg(error);
}

} // namespace vistrel
