#pragma once

#include <QString>

#include <functional>

namespace vistrel {

// Hands an address to the desktop's handler for it. The real one runs xdg-open; tests install a
// recording one so that no browser is ever started by a test.
class UrlOpener
{
public:
    struct Result
    {
        bool opened = true;
        QString description; // why not, when opened is false
        int number = 0;      // the failure's number, when opened is false
    };
    using Done = std::function<void(const Result &)>;

    virtual ~UrlOpener() = default;
    // Starts the opening and returns; done runs once with the outcome, at once when it is known
    // at once, else when the opener program ends, on the calling thread's event loop.
    virtual void open(const QString &address, Done done) = 0;
};

// Failure numbers the real opener reports.
inline constexpr int urlNotFound = 2;       // a local file that does not exist
inline constexpr int urlNoHandler = 31;     // nothing on the desktop takes the address
inline constexpr int urlHandlerFailed = 32; // the program that took it reported a failure
inline constexpr int urlMalformed = 1155;   // not an address at all

// How long the link shows the hourglass at most while the opener runs: xdg-open may run a browser
// in the foreground and end only when it is closed. Its outcome is still reported when it ends.
inline constexpr int urlOpenerWaitMs = 3000;

// Process-wide access to the opener; nullptr puts the real one back. Returns the previous one.
UrlOpener &urlOpener();
UrlOpener *setUrlOpener(UrlOpener *replacement);

} // namespace vistrel
