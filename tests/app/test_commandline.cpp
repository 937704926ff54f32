// The command line: what Qt takes and what is left for the program, and the picture or folder a
// path names, whatever its name looks like.

#include "app/commandline.h"
#include "asnobody.h"
#include "common/nativename.h"

#include "testutils.h"
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using Kind = OpenRequest::Kind;

Q_DECLARE_METATYPE(OpenRequest::Kind)
Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

CommandLine *applicationLine = nullptr;

const QByteArray picture = "my pic\xE9.jpg"; // a space and a byte that is not UTF-8

// A folder of odd names, under its canonical path so that expected folders are plain text:
//   some dir/{my pic\xE9.jpg, notes.txt}   sub/inner/   link -> sub/inner   p.jpg (a FIFO)
//   locked/ (not readable)   secret.jpg (not readable)
class Place
{
public:
    Place()
    {
        char *real = ::realpath(QFile::encodeName(m_dir.path()).constData(), nullptr);
        m_base = real;
        std::free(real);
        ::chmod(m_base.constData(), 0755); // the unprivileged user may look in
        const auto at = [this](const QByteArray &name) { return QByteArray(m_base + '/' + name); };
        for (const char *folder : {"some dir", "sub", "sub/inner", "locked"})
            ::mkdir(at(folder).constData(), 0755);
        const QByteArrayList files{"some dir/" + picture, "some dir/notes.txt", "secret.jpg"};
        for (const QByteArray &file : files) // by their bytes: Qt's file names would not keep them
            ::close(::open(at(file).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ::symlink("sub/inner", at("link").constData());
        ::mkfifo(at("p.jpg").constData(), 0644);
        ::chmod(at("locked").constData(), 0311);
        ::chmod(at("secret.jpg").constData(), 0200);
    }
    ~Place()
    {
        // Qt's removal cannot name the picture by its bytes.
        ::unlink(QByteArray(m_base + "/some dir/" + picture).constData());
    }
    const QByteArray &base() const { return m_base; }

private:
    vistrel::test::TemporaryDir m_dir;
    QByteArray m_base;
};

// What differs between the request and the one expected; empty when nothing does.
QString differences(const OpenRequest &got, Kind kind, const QString &folder,
                    const QByteArray &name, const QString &message)
{
    QStringList wrong;
    if (got.kind != kind)
        wrong << QStringLiteral("kind %1").arg(int(got.kind));
    if (got.folder != folder)
        wrong << QStringLiteral("folder %1").arg(got.folder);
    if (got.picture != name)
        wrong << QStringLiteral("picture %1").arg(QString::fromLatin1(got.picture.toHex()));
    if (got.message != message)
        wrong << QStringLiteral("message %1").arg(got.message);
    return wrong.join(QStringLiteral("; "));
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // The test's own application was made as main() makes the program's, from a line with
    // "-reverse" before "--" and a file named "-reverse" after it.
    void qtTakesOnlyWhatComesBeforeTheSeparator()
    {
        QVERIFY(QGuiApplication::isRightToLeft());
        QCOMPARE(applicationLine->arguments(), std::vector<QByteArray>{"-reverse"});
    }

    void split_data()
    {
        QTest::addColumn<QByteArrayList>("line");
        QTest::addColumn<QByteArrayList>("forQt");
        QTest::addColumn<QByteArrayList>("own");
        QTest::addColumn<QString>("note");
        QTest::addColumn<CommandLine::Action>("action");
        using Action = CommandLine::Action;
        const QString oneMore = QStringLiteral(
            "vistrel: only one picture or folder is opened; 1 more argument ignored.");
        QTest::newRow("no argument")
            << QByteArrayList{} << QByteArrayList{} << QByteArrayList{} << QString() << Action::Run;
        QTest::newRow("one picture") << QByteArrayList{"/p/a.jpg"} << QByteArrayList{"/p/a.jpg"}
                                     << QByteArrayList{"/p/a.jpg"} << QString() << Action::Run;
        QTest::newRow("a second name is ignored, with a note")
            << QByteArrayList{"a.jpg", "b.jpg"} << QByteArrayList{"a.jpg", "b.jpg"}
            << QByteArrayList{"a.jpg", "b.jpg"} << oneMore << Action::Run;
        QTest::newRow("Qt's options, then a name like one after --")
            << QByteArrayList{"-style", "fusion", "--", "-style"}
            << QByteArrayList{"-style", "fusion"} << QByteArrayList{"-style", "fusion", "-style"}
            << QStringLiteral(
                   "vistrel: only one picture or folder is opened; 2 more arguments ignored.")
            << Action::Run;
        QTest::newRow("a second -- is a name") << QByteArrayList{"--", "--"} << QByteArrayList{}
                                               << QByteArrayList{"--"} << QString() << Action::Run;
        QTest::newRow("-- alone") << QByteArrayList{"--"} << QByteArrayList{} << QByteArrayList{}
                                  << QString() << Action::Run;
        QTest::newRow("names on both sides of --")
            << QByteArrayList{"a.jpg", "--", "b.jpg"} << QByteArrayList{"a.jpg"}
            << QByteArrayList{"a.jpg", "b.jpg"} << oneMore << Action::Run;
        QTest::newRow("--version prints and ends")
            << QByteArrayList{"--version"} << QByteArrayList{"--version"}
            << QByteArrayList{"--version"} << QString() << Action::PrintVersion;
        QTest::newRow("-h among Qt's options")
            << QByteArrayList{"-style", "fusion", "-h"} << QByteArrayList{"-style", "fusion", "-h"}
            << QByteArrayList{"-style", "fusion", "-h"}
            << QStringLiteral(
                   "vistrel: only one picture or folder is opened; 2 more arguments ignored.")
            << Action::PrintHelp;
        QTest::newRow("the first of --help and --version wins")
            << QByteArrayList{"--help", "--version"} << QByteArrayList{"--help", "--version"}
            << QByteArrayList{"--help", "--version"} << oneMore << Action::PrintHelp;
        QTest::newRow("--version after -- is a path")
            << QByteArrayList{"--", "--version"} << QByteArrayList{} << QByteArrayList{"--version"}
            << QString() << Action::Run;
    }
    void split()
    {
        QFETCH(QByteArrayList, line);
        QFETCH(QByteArrayList, forQt);
        QFETCH(QByteArrayList, own);
        QFETCH(QString, note);
        QFETCH(CommandLine::Action, action);
        line.prepend("vistrel");
        std::vector<char *> argv;
        for (QByteArray &argument : line)
            argv.push_back(argument.data());
        CommandLine commandLine(int(argv.size()), argv.data());
        QByteArrayList givenToQt;
        for (int i = 1; i < commandLine.qtArgc(); ++i)
            givenToQt << commandLine.qtArgv()[i];
        QCOMPARE(givenToQt, forQt);
        QCOMPARE(commandLine.qtArgv()[0], argv[0]);
        QCOMPARE(commandLine.qtArgv()[commandLine.qtArgc()], nullptr);
        const std::vector<QByteArray> left = commandLine.arguments();
        QCOMPARE(QByteArrayList(left.begin(), left.end()), own);
        QCOMPARE(commandLine.ignoredNote(), note);
        QCOMPARE(commandLine.action(), action);
    }

    void resolve_data()
    {
        QTest::addColumn<QByteArray>("path"); // "@" stands for the place's absolute path
        QTest::addColumn<bool>("withoutRoot");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("folder"); // under the place; "/" alone is the root
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("message"); // "%1" stands for the place's absolute path
        const QByteArray dir = "/some dir";
        const QString notListed = QStringLiteral(
            " is not in the picture list, which holds the files named *.jpg, *.gif and *.bmp "
            "that are not hidden.");
        QTest::newRow("picture, absolute")
            << "@/some dir/" + picture << false << Kind::Picture << dir << picture << QString();
        QTest::newRow("picture, relative to the working directory")
            << "some dir/" + picture << false << Kind::Picture << dir << picture << QString();
        QTest::newRow("picture through . and //")
            << "./some dir//" + picture << false << Kind::Picture << dir << picture << QString();
        QTest::newRow("picture through ..") << "sub/../some dir/" + picture << false
                                            << Kind::Picture << dir << picture << QString();
        QTest::newRow(".. after a link leads to its target's parent")
            << QByteArray("link/..") << false << Kind::Folder << QByteArray("/sub") << QByteArray()
            << QString();
        QTest::newRow("folder") << QByteArray("some dir") << false << Kind::Folder << dir
                                << QByteArray() << QString();
        QTest::newRow("folder with a trailing slash")
            << QByteArray("some dir/") << false << Kind::Folder << dir << QByteArray() << QString();
        QTest::newRow("link to a folder keeps its own name")
            << QByteArray("link") << false << Kind::Folder << QByteArray("/link") << QByteArray()
            << QString();
        QTest::newRow("root folder") << QByteArray("/") << false << Kind::Folder << QByteArray("/")
                                     << QByteArray() << QString();
        QTest::newRow("not a picture: its folder, and why")
            << QByteArray("some dir/notes.txt") << false << Kind::Folder << dir << QByteArray()
            << "%1/some dir/notes.txt" + notListed;
        QTest::newRow("missing") << QByteArray("gone.jpg") << false << Kind::Refused << QByteArray()
                                 << QByteArray()
                                 << QStringLiteral(
                                        "Cannot open %1/gone.jpg: No such file or directory.");
        QTest::newRow("empty name")
            << QByteArray("") << false << Kind::Refused << QByteArray() << QByteArray()
            << QStringLiteral("Cannot open \"\": No such file or directory.");
        QTest::newRow("FIFO named like a picture")
            << QByteArray("p.jpg") << false << Kind::Refused << QByteArray() << QByteArray()
            << QStringLiteral("Cannot open %1/p.jpg: it is neither a picture nor a folder.");
        QTest::newRow("unreadable picture")
            << QByteArray("secret.jpg") << true << Kind::Refused << QByteArray() << QByteArray()
            << QStringLiteral("Cannot open %1/secret.jpg: Permission denied.");
        QTest::newRow("unreadable folder")
            << QByteArray("locked") << true << Kind::Refused << QByteArray() << QByteArray()
            << QStringLiteral("Cannot open %1/locked: Permission denied.");
    }
    void resolve()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, withoutRoot);
        QFETCH(Kind, kind);
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, name);
        QFETCH(QString, message);
        const Place place;
        path.replace("@", place.base());
        const QString base = fromNative(place.base());
        const QString expectedFolder =
            folder.isEmpty() && kind == Kind::Refused
                ? QString()
                : (folder == "/" ? QStringLiteral("/") : base + fromNative(folder));
        if (message.contains(QLatin1String("%1")))
            message = message.arg(base);
        QString wrong;
        const auto check = [&] {
            wrong = differences(resolveOpenPath(path, place.base()), kind, expectedFolder, name,
                                message);
            return wrong.isEmpty() ? 0 : 1;
        };
        if (withoutRoot)
            QCOMPARE(test::runWithoutRoot(check), 0);
        else
            QVERIFY2(check() == 0, qPrintable(wrong));
    }
};

int main(int argc, char *argv[])
{
    // Made as main() makes the program's application: Qt's option before "--", a name after it.
    char reverse[] = "-reverse";
    char separator[] = "--";
    char named[] = "-reverse";
    char *line[] = {argv[0], reverse, separator, named, nullptr};
    CommandLine commandLine(4, line);
    applicationLine = &commandLine;
    QApplication app(commandLine.qtArgc(), commandLine.qtArgv());
    TestCommandLine test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_commandline.moc"
