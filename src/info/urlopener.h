#pragma once

#include <QString>

namespace vistrel {

// Hands an address to the desktop's handler for it. The real one asks QDesktopServices; tests
// install a recording one so that no browser is ever started by a test.
class UrlOpener
{
public:
    struct Result
    {
        bool opened = true;
        QString description; // why not, when opened is false
        int number = 0;      // the failure's number, when opened is false
    };

    virtual ~UrlOpener() = default;
    virtual Result open(const QString &address) = 0;
};

// Failure numbers the real opener reports.
inline constexpr int urlNotFound = 2;     // a local file that does not exist
inline constexpr int urlNoHandler = 31;   // nothing on the desktop takes the address
inline constexpr int urlMalformed = 1155; // not an address at all

// Process-wide access to the opener; nullptr puts the real one back. Returns the previous one.
UrlOpener &urlOpener();
UrlOpener *setUrlOpener(UrlOpener *replacement);

} // namespace vistrel
