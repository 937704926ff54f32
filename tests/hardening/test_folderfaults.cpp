// Faults while the program runs: the folder shown is deleted, renamed, locked or flooded while
// automatic refresh is on, and the settings file is damaged or locked between runs. Each case
// states what the user sees; none may crash, hang or end the run.

#include "asnobody.h"
#include "testutils.h"
#include "windowsession.h"

#include "browse/foldertree.h"
#include "slideshow/slideshow.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace vistrel;
using namespace vistrel::test;

namespace {

const QList<QByteArray> threePictures{"a.bmp", "b.bmp", "c.bmp"};

// A small, well-formed picture, so that showing it says nothing.
QByteArray pictureBytes()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// Every message shown was a critical one with this prompt start.
bool allCritical(const ScriptedPrompter &prompts, const QString &start)
{
    for (const ScriptedPrompter::Shown &s : prompts.shown) {
        if (s.kind != ScriptedPrompter::Critical || s.title != QLatin1String("ERROR!") ||
            !s.prompt.startsWith(start))
            return false;
    }
    return true;
}

// A folder reachable by the unprivileged helper, with three pictures in it.
QString makeShownFolder(const Sandbox &box, const QString &name)
{
    ::chmod(QFile::encodeName(box.path()).constData(), 0755);
    const QString folder = box.mkdir(name);
    for (const QByteArray &n : threePictures) {
        QFile f(folder + QLatin1Char('/') + QString::fromLatin1(n));
        if (f.open(QIODevice::WriteOnly))
            f.write(pictureBytes());
    }
    return folder;
}

// Runs the refresh timer and the slide show a few rounds, as the running program would.
void runAWhile(MainWindow &w, int rounds = 10)
{
    for (int i = 0; i < rounds; ++i) {
        w.browser()->refreshTick();
        w.slideShow()->slidetimer_Timer();
    }
}

void startShow(MainWindow &w)
{
    w.slideShow()->setIntervalAsker([](int &interval) {
        interval = 2;
        return true;
    });
    w.slideShow()->toggleslideshow();
}

} // namespace

class TestFolderFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void shownFolderGoesAway_data();
    void shownFolderGoesAway();
    void shownFolderMadeUnreadable();
    void burstOfFiveThousandFiles();
    void damagedSettingsGiveDefaults_data();
    void damagedSettingsGiveDefaults();
    void unsaveableSettingsAreReported_data();
    void unsaveableSettingsAreReported();
};

void TestFolderFaults::shownFolderGoesAway_data()
{
    QTest::addColumn<bool>("renamed");
    QTest::newRow("shown folder deleted") << false;
    QTest::newRow("shown folder renamed") << true;
}

// The list keeps the names it had (the refresh only looks for growth); showing one of them says
// "File not found" and leaves nothing selected. Choosing another folder lists it afresh. The folder
// tree reads a folder's children once, so a folder's new name appears in the tree only in the next
// run.
void TestFolderFaults::shownFolderGoesAway()
{
    QFETCH(bool, renamed);
    Sandbox box;
    const QString folder = makeShownFolder(box, QStringLiteral("shown"));
    const QString other = makeShownFolder(box, QStringLiteral("other"));
    WindowSession session;
    ScopedServices &services = session.services;
    MainWindow &w = session.window;
    QVERIFY(session.load());
    session.trigger("mnu_autorefresh");
    QVERIFY(session.choose(folder));
    startShow(w);
    QCOMPARE(sorted(listNames(w)), threePictures);

    const QString moved = box.file(QStringLiteral("moved"));
    if (renamed)
        QVERIFY(QDir().rename(folder, moved));
    else
        QVERIFY(QDir(folder).removeRecursively());
    runAWhile(w);
    QVERIFY(session.settle()); // the last picture's look may come late

    QCOMPARE(sorted(listNames(w)), threePictures);
    QCOMPARE(services.ends.ends, 0);
    QVERIFY(!services.prompts.shown.isEmpty());
    QVERIFY(allCritical(services.prompts, QStringLiteral("File not found: ")));
    services.prompts.shown.clear();
    QVERIFY(session.choose(other));
    QCOMPARE(sorted(listNames(w)), threePictures);
    QCOMPARE(w.browser()->currentFolder(), other);
    runAWhile(w);
    QCOMPARE(services.prompts.shown.size(), 0);
}

// Locked while shown: refresh goes on with the names it has; showing one gives the code of a
// refused access (70) and leaves nothing selected.
void TestFolderFaults::shownFolderMadeUnreadable()
{
    Sandbox box;
    const QString folder = makeShownFolder(box, QStringLiteral("shown"));
    const QByteArray native = QFile::encodeName(folder);
    ::chown(native.constData(), 65534, 65534);
    const int result = runWithoutRoot([&]() -> int {
        WindowSession session;
        const ScopedServices &services = session.services;
        MainWindow &w = session.window;
        if (!session.load())
            return 5;
        session.trigger("mnu_autorefresh");
        if (!session.choose(folder) || sorted(listNames(w)) != threePictures)
            return 1;
        startShow(w);
        if (::chmod(native.constData(), 0) != 0)
            return 2;
        runAWhile(w);
        if (!session.settle())
            return 6;
        const bool same = sorted(listNames(w)) == threePictures;
        ::chmod(native.constData(), 0755);
        if (!same)
            return 3;
        if (services.ends.ends != 0 || services.prompts.shown.isEmpty() ||
            !allCritical(services.prompts, QStringLiteral("70")))
            return 4;
        return 0;
    });
    ::chmod(native.constData(), 0755);
    QVERIFY2(result != -1, "could not drop root's rights for the permission case");
    QCOMPARE(result, 0);
}

// 5,000 pictures arriving at once while refresh is on: all of them are listed within a bounded
// number of ticks and the last entry is selected.
void TestFolderFaults::burstOfFiveThousandFiles()
{
    Sandbox box;
    const QString folder = makeShownFolder(box, QStringLiteral("shown"));
    WindowSession session;
    const ScopedServices &services = session.services;
    MainWindow &w = session.window;
    QVERIFY(session.load());
    session.trigger("mnu_autorefresh");
    QVERIFY(session.choose(folder));
    startShow(w);
    constexpr int burst = 5000;
    const QByteArray picture = pictureBytes();
    for (int i = 0; i < burst; ++i) {
        QFile f(folder + QStringLiteral("/burst%1.bmp").arg(i, 5, 10, QLatin1Char('0')));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(picture);
    }
    // The refresh's reads of the folder may answer late: the ticks go on while they come in.
    int ticks = 0;
    const bool listed = QTest::qWaitFor(
        [&] {
            runAWhile(w, 1);
            ++ticks;
            return w.browser()->list()->count() >= burst + 3;
        },
        60000);
    qInfo("listed %d pictures after %d ticks", w.browser()->list()->count(), ticks);
    QVERIFY(listed);
    QCOMPARE(w.browser()->list()->count(), burst + 3);
    QCOMPARE(services.prompts.shown.size(), 0);
    QCOMPARE(services.ends.ends, 0);
}

void TestFolderFaults::damagedSettingsGiveDefaults_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray noise(8192, '\0');
    QRandomGenerator random(77);
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("random bytes") << noise;
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("values of the wrong kind")
        << QByteArray("[Settings]\nLastDir=\"/no/such/folder\\0\"\nSlideInterval=abc\n"
                      "MainLeft=1e308\nMainTop=-nan\nMainWidth=99999999999999999999\n"
                      "MainHeight=\nToolbar1=7\nToolbar2=-1\nToolbar3=0x1\n");
    QTest::newRow("one endless line") << QByteArray(1 << 20, '[');
    QTest::newRow("group without end") << QByteArray("[Settings\nSlideInterval=5\n");
}

// Whatever the file holds, the window opens with values in range, and saving writes a file the
// next run reads back.
void TestFolderFaults::damagedSettingsGiveDefaults()
{
    QFETCH(QByteArray, content);
    vistrel::test::TemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("vistrel.ini"));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    {
        // A large file may be read after the window has opened: its values are taken in then.
        WindowSession session({}, ini);
        MainWindow &w = session.window;
        QVERIFY(session.load());
        const int interval = w.slideShow()->slideshowinterval();
        QVERIFY(interval >= 0 && interval <= 32767);
        QVERIFY(w.width() > 0 && w.height() > 0);
        QVERIFY(session.isChecked("mnu_sortname") != session.isChecked("mnu_datesort"));
        w.slideShow()->setSlideshowinterval(17);
        QVERIFY(session.save());
        QCOMPARE(session.services.ends.ends, 0);
        // A line that cannot be parsed does not make a good save look failed.
        QCOMPARE(session.services.prompts.shown.size(), 0);
    }
    WindowSession again({}, ini);
    QVERIFY(again.load());
    QCOMPARE(again.window.slideShow()->slideshowinterval(), 17);
}

void TestFolderFaults::unsaveableSettingsAreReported_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    const QByteArray plain("[Settings]\nSlideInterval=5\n");
    const QByteArray damaged("[Settings]\nno equals sign here\nSlideInterval=5\n");
    QTest::newRow("read-only file") << "read-only" << plain << "read-only";
    QTest::newRow("read-only file with a line without '='")
        << "read-only" << damaged << "read-only";
    QTest::newRow("full disk, line without '=', then room again") << "full" << damaged << "";
    QTest::newRow("a pipe in place of the file") << "pipe" << QByteArray() << "not a regular file";
}

// A settings file the user may not write, on a full disk, or that is no file at all: the window
// still opens (from the file, or with the defaults), every save that fails says why instead of
// losing the values silently, and the file stays as it was. Once the fault is gone, a save says
// nothing: each report is about its own save.
void TestFolderFaults::unsaveableSettingsAreReported()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    Sandbox box;
    ::chmod(QFile::encodeName(box.path()).constData(), 0755);
    const QString ini = box.file(QStringLiteral("vistrel.ini"));
    const QByteArray native = QFile::encodeName(ini);
    if (fault == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(native.constData(), 0644), 0);
    else
        box.write(QStringLiteral("vistrel.ini"), content);
    if (fault == QLatin1String("read-only"))
        ::chmod(native.constData(), 0444);
    const int storedInterval = fault == QLatin1String("pipe") ? 10 : 5;
    const auto piece = [&]() -> int {
        ::alarm(60); // opening a pipe would wait for a writer for ever
        WindowSession session({}, ini);
        const ScopedServices &services = session.services;
        MainWindow &w = session.window;
        if (!session.load())
            return 4;
        if (w.slideShow()->slideshowinterval() != storedInterval)
            return 1;
        w.slideShow()->setSlideshowinterval(9);
        {
            std::unique_ptr<FileSizeLimit> full;
            if (fault == QLatin1String("full"))
                full = std::make_unique<FileSizeLimit>(rlim_t(content.size()));
            if (!session.save())
                return 5;
        }
        ::alarm(0);
        const QList<ScriptedPrompter::Shown> &shown = services.prompts.shown;
        if (shown.size() != 1 || shown[0].kind != ScriptedPrompter::Critical ||
            shown[0].title != QLatin1String("ERROR!") || !shown[0].prompt.contains(ini) ||
            !shown[0].prompt.contains(reason))
            return 2;
        if (fault == QLatin1String("full")) {
            if (!session.save() || shown.size() != 1)
                return 3;
        }
        return 0;
    };
    const int result = fault == QLatin1String("read-only") ? runWithoutRoot(piece) : piece();
    QVERIFY2(result != -1, "could not drop root's rights for the permission case");
    QCOMPARE(result, 0);
    if (fault == QLatin1String("pipe")) {
        struct stat st;
        QVERIFY(::stat(native.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    } else if (fault == QLatin1String("full")) {
        WindowSession again({}, ini);
        QVERIFY(again.load());
        QCOMPARE(again.window.slideShow()->slideshowinterval(), 9);
    } else {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
}

QTEST_MAIN(TestFolderFaults)
#include "test_folderfaults.moc"
