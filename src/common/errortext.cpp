#include "common/errortext.h"

#include <cstring>

namespace vistrel {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace vistrel
