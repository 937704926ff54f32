#include "app/commandline.h"

#include "browse/folderlisting.h"
#include "browse/pathmap.h"
#include "common/errortext.h"
#include "common/identity.h"
#include "common/nativename.h"
#include "common/openedfile.h"

#include <QList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

OpenRequest refused(const QByteArray &path, const QString &reason)
{
    OpenRequest request;
    request.kind = OpenRequest::Kind::Refused;
    const QString shown = path.isEmpty() ? QStringLiteral("\"\"") : fromNative(path);
    request.message = QStringLiteral("Cannot open %1: %2.").arg(shown, reason);
    return request;
}

// The absolute path without empty and "." parts. With a ".." part, the folder the system finds
// instead: after a symbolic link, ".." leads to the parent of the link's target, not back.
bool normalise(const QByteArray &absolute, QByteArray *out, int *error)
{
    const QList<QByteArray> parts = absolute.split('/');
    QByteArray clean;
    for (const QByteArray &part : parts) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            char *real = ::realpath(absolute.constData(), nullptr);
            if (!real) {
                *error = errno;
                return false;
            }
            *out = QByteArray(real);
            std::free(real);
            return true;
        }
        clean += '/' + part;
    }
    *out = clean.isEmpty() ? QByteArrayLiteral("/") : clean;
    return true;
}

} // namespace

QString notListedMessage(const QString &path)
{
    return QStringLiteral("%1 is not in the picture list, which holds the files named *.jpg, "
                          "*.gif and *.bmp that are not hidden.")
        .arg(path);
}

OpenRequest resolveOpenPath(const QByteArray &path, const QByteArray &workingDirectory)
{
    if (path.isEmpty())
        return refused(path, errorText(ENOENT));
    const QByteArray absolute =
        path.startsWith('/') ? path : joinFolderAndName(workingDirectory, path);
    struct stat status = {};
    if (::stat(absolute.constData(), &status) != 0)
        return refused(absolute, errorText(errno));

    OpenRequest request;
    QByteArray folder;
    int error = 0;
    if (S_ISDIR(status.st_mode)) {
        if (!normalise(absolute, &folder, &error))
            return refused(absolute, errorText(error));
        DIR *dir = ::opendir(folder.constData());
        if (!dir)
            return refused(absolute, errorText(errno));
        ::closedir(dir);
        request.kind = OpenRequest::Kind::Folder;
        request.folder = fromNative(folder);
        return request;
    }
    if (!S_ISREG(status.st_mode))
        return refused(absolute, QStringLiteral("it is neither a picture nor a folder"));

    const qsizetype slash = absolute.lastIndexOf('/');
    const QByteArray name = absolute.mid(slash + 1);
    if (!normalise(slash == 0 ? QByteArrayLiteral("/") : absolute.left(slash), &folder, &error))
        return refused(absolute, errorText(error));
    if (const OpenedFile file(absolute); !file.isOpen())
        return refused(absolute, errorText(file.error()));
    request.folder = fromNative(folder);
    if (isPictureName(name.constData(), std::size_t(name.size()))) {
        request.kind = OpenRequest::Kind::Picture;
        request.picture = name;
    } else {
        // Its folder is still the place the user asked for.
        request.kind = OpenRequest::Kind::Folder;
        request.message = notListedMessage(fromNative(absolute));
    }
    return request;
}

QString versionOutput()
{
    return QStringLiteral("%1 %2.%3.%4\n")
        .arg(identity::productName())
        .arg(identity::major)
        .arg(identity::minor)
        .arg(identity::revision);
}

QString helpOutput()
{
    return QStringLiteral(
        "Usage: vistrel [Qt options] [--] [PATH]\n"
        "Browse, show and print the pictures of a folder.\n"
        "\n"
        "PATH is a picture or a folder, opened in place of the saved folder once the welcome\n"
        "screen is passed; only the first path is opened.\n"
        "\n"
        "  --help, -h  print this help and exit\n"
        "  --version   print the version and exit\n"
        "  --          end of the options: every argument after it is a path\n"
        "\n"
        "Qt's own options (-style, -platform, -reverse, -display, ...) come before \"--\".\n"
        "See vistrel(1).\n");
}

CommandLine::CommandLine(int argc, char **argv)
{
    static char programName[] = "vistrel";
    m_qtArgv.push_back(argc > 0 && argv[0] ? argv[0] : programName);
    int i = 1;
    while (i < argc && std::strcmp(argv[i], "--") != 0)
        m_qtArgv.push_back(argv[i++]);
    for (++i; i < argc; ++i)
        m_afterSeparator.emplace_back(argv[i]);
    m_qtArgc = int(m_qtArgv.size());
    m_qtArgv.push_back(nullptr);
}

CommandLine::Action CommandLine::action() const
{
    for (int i = 1; i < m_qtArgc; ++i) {
        const char *argument = m_qtArgv[std::size_t(i)];
        if (std::strcmp(argument, "--version") == 0)
            return Action::PrintVersion;
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)
            return Action::PrintHelp;
    }
    return Action::Run;
}

std::vector<QByteArray> CommandLine::arguments() const
{
    std::vector<QByteArray> own;
    for (int i = 1; i < m_qtArgc; ++i)
        own.emplace_back(m_qtArgv[std::size_t(i)]);
    own.insert(own.end(), m_afterSeparator.begin(), m_afterSeparator.end());
    return own;
}

OpenRequest resolveFirstArgument(const std::vector<QByteArray> &own)
{
    if (own.empty())
        return {};
    QByteArray workingDirectory;
    if (!own.front().startsWith('/')) {
        char *here = ::getcwd(nullptr, 0);
        if (!here)
            return refused(own.front(), errorText(errno));
        workingDirectory = here;
        std::free(here);
    }
    return resolveOpenPath(own.front(), workingDirectory);
}

QString CommandLine::ignoredNote() const
{
    const std::size_t count = arguments().size();
    if (count < 2)
        return {};
    const std::size_t ignored = count - 1;
    return QStringLiteral("vistrel: only one picture or folder is opened; %1 more %2 ignored.")
        .arg(ignored)
        .arg(ignored == 1 ? QStringLiteral("argument") : QStringLiteral("arguments"));
}

} // namespace vistrel
