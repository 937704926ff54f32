#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace vistrel {

// What the command line asks the start-up to open.
struct OpenRequest
{
    enum class Kind {
        Nothing, // no argument: the saved folder, as on every start
        Folder,  // a folder to open in the folder tree
        Picture, // a picture to select and show, in its folder
        Refused, // the path cannot be opened: a message, then the saved folder
    };
    Kind kind = Kind::Nothing;
    // The folder to open, absolute, with names as the folder tree has them (bytes that are not
    // UTF-8 as lone surrogates).
    QString folder;
    // The picture's name in that folder, as its bytes on disk.
    QByteArray picture;
    // Said once the main window is shown: why the path was refused, or why the file it names is
    // not in the picture list.
    QString message;
};

// Resolves one path, relative to workingDirectory unless it is absolute. Only looks: nothing
// is opened that could block (a FIFO is refused from its type).
OpenRequest resolveOpenPath(const QByteArray &path, const QByteArray &workingDirectory);

// The first of the program's arguments, resolved relative to the current working directory;
// nothing asked for without one. Looks at storage: run it where a wait holds up nothing.
OpenRequest resolveFirstArgument(const std::vector<QByteArray> &arguments);

// The message for a file that is there but not among the pictures listed.
QString notListedMessage(const QString &path);

// "Vistrel 1.0.10" and the usage text, each ending with a line feed.
QString versionOutput();
QString helpOutput();

// The program's command line: Qt's own options, then at most one picture or folder. Qt takes
// the options it knows (-platform, -style, -reverse, ...) wherever they stand, also after "--",
// so only what comes before the first "--" is given to it; everything after is the program's,
// whatever it looks like.
class CommandLine
{
public:
    CommandLine(int argc, char **argv);
    CommandLine(const CommandLine &) = delete;
    CommandLine &operator=(const CommandLine &) = delete;

    // What the line asks of the run: the program, or a text printed at once without a window.
    enum class Action { Run, PrintVersion, PrintHelp };
    // --version, --help or -h before "--" (the first of them wins); after "--" they are paths.
    Action action() const;

    // For QApplication, which removes the options it takes; the object must outlive it.
    int &qtArgc() { return m_qtArgc; }
    char **qtArgv() { return m_qtArgv.data(); }

    // The program's arguments: what Qt left of its part, then everything after "--".
    std::vector<QByteArray> arguments() const;
    // A line for the standard error output when arguments are ignored, else empty.
    QString ignoredNote() const;

private:
    int m_qtArgc = 0;
    std::vector<char *> m_qtArgv; // ends with a null pointer, as argv does
    std::vector<QByteArray> m_afterSeparator;
};

} // namespace vistrel
