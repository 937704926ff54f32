#pragma once

#include <QString>

namespace vistrel {

// Text of an errno value for messages.
QString errorText(int error);

} // namespace vistrel
