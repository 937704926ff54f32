// The real main window over the bad-input corpus: every entry listed or left out as it must be,
// in both sort orders, with automatic refresh on and a slide show stepping through it all, and
// every listed entry shown with the message its kind of damage calls for.

#include "asnobody.h"
#include "corpus.h"
#include "testutils.h"
#include "windowsession.h"

#include "browse/foldertree.h"
#include "common/nativename.h"
#include "slideshow/slideshow.h"
#include "viewer/picturedisplay.h"
#include "viewer/pictureloader.h"
#include "viewer/pictureview.h"

#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>

using namespace vistrel;
using namespace vistrel::test;

class TestCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void goodEntriesAreGoodPictures();
    void listsExactlyThePictureFiles_data();
    void listsExactlyThePictureFiles();
    void deepPathIsListed();
    void displaysEveryEntry_data();
    void displaysEveryEntry();
    void costlyFilesAreBounded_data();
    void costlyFilesAreBounded();
    void goodPictureShortOfMemoryIsNotOfferedForDeletion();
    void unreadableFolderKeepsThePreviousList();

private:
    Corpus m_corpus;
};

void TestCorpus::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_corpus.make(QStringLiteral(VISTREL_CORPUS_SCRIPT)), qPrintable(m_corpus.error()));
    QVERIFY(m_corpus.entries().size() > 60);
}

// The corpus itself: what it calls good must be a readable picture, or the display cases below
// would blame the program for the corpus's fault.
void TestCorpus::goodEntriesAreGoodPictures()
{
    for (const Corpus::Entry &e : m_corpus.entries()) {
        if (e.kind != "good")
            continue;
        // By bytes: Qt's own file names cannot reach names that are not UTF-8.
        QFile file;
        const QByteArray path = QFile::encodeName(m_corpus.pictures()) + '/' + e.name;
        const int fd = ::open(path.constData(), O_RDONLY);
        QVERIFY(fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle));
        // Through the file: a long file holding a small picture is read only as far as needed.
        QImageReader reader(&file);
        QVERIFY2(!reader.read().isNull(), e.name.constData());
    }
}

void TestCorpus::listsExactlyThePictureFiles_data()
{
    QTest::addColumn<bool>("byDate");
    QTest::addColumn<bool>("refresh");
    QTest::newRow("by name") << false << false;
    QTest::newRow("by date") << true << false;
    QTest::newRow("by name, automatic refresh on") << false << true;
    QTest::newRow("by date, automatic refresh on") << true << true;
}

void TestCorpus::listsExactlyThePictureFiles()
{
    QFETCH(bool, byDate);
    QFETCH(bool, refresh);
    const QList<QByteArray> before = diskNames(m_corpus.pictures());
    WindowSession session;
    ScopedServices &services = session.services;
    MainWindow &w = session.window;
    QVERIFY(session.load());
    session.trigger(byDate ? "mnu_datesort" : "mnu_sortname");
    if (refresh)
        session.trigger("mnu_autorefresh");
    QCOMPARE(w.browser()->isAutoRefreshOn(), refresh);

    // The FIFO and the symbolic-link loop sit in this folder: reading it must not block.
    QVERIFY(session.choose(m_corpus.pictures()));
    QCOMPARE(w.browser()->currentFolder(), m_corpus.pictures());
    const QList<QByteArray> expected = sorted(m_corpus.listedNames());
    QCOMPARE(sorted(listNames(w)), expected);

    for (int tick = 0; tick < 5; ++tick)
        w.browser()->refreshTick();
    QCOMPARE(sorted(listNames(w)), expected);

    // A slide show over the whole list, twice round, one tick at a time.
    SlideShow *show = w.slideShow();
    show->setIntervalAsker([](int &interval) {
        interval = 1;
        return true;
    });
    show->toggleslideshow();
    QVERIFY(show->slideshowonoff());
    const int count = int(expected.size());
    for (int tick = 0; tick < 2 * count + 1; ++tick) {
        show->slidetimer_Timer();
        QVERIFY(w.browser()->curslide() >= 0 && w.browser()->curslide() <= count);
        if (refresh)
            w.browser()->refreshTick();
    }
    show->toggleslideshow();
    QVERIFY(!show->slideshowonoff());

    // The show displays each entry: the damaged ones ask to be deleted (answered No) or are
    // refused with an error; nothing else is said.
    QCOMPARE(services.ends.ends, 0);
    for (const ScriptedPrompter::Shown &shown : std::as_const(services.prompts.shown))
        QVERIFY2(shown.title == QLatin1String("DELETE FILE") ||
                     shown.title == QLatin1String("ERROR!"),
                 qPrintable(shown.title));
    QCOMPARE(sorted(listNames(w)), expected);
    QCOMPARE(diskNames(m_corpus.pictures()), before);
}

void TestCorpus::displaysEveryEntry_data()
{
    QTest::addColumn<bool>("byDate");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<QByteArray>("deleteThis"); // the one file answered Yes, if any
    QTest::newRow("by name, scale to fit") << false << true << QByteArray();
    QTest::newRow("by name, actual size") << false << false << QByteArray();
    QTest::newRow("by date, scale to fit") << true << true << QByteArray();
    QTest::newRow("by date, actual size") << true << false << QByteArray();
    QTest::newRow("by name, Yes to one unreadable file")
        << false << true << QByteArray("text-named.jpg");
}

// Every listed entry shown in turn, then a slide show with refresh on: a good picture says
// nothing, an unreadable one asks to be deleted, an oversized one is refused; the
// run never ends and only a file answered Yes is gone.
void TestCorpus::displaysEveryEntry()
{
    QFETCH(bool, byDate);
    QFETCH(bool, scaled);
    QFETCH(QByteArray, deleteThis);
    QList<QByteArray> before = diskNames(m_corpus.pictures());
    WindowSession session;
    ScopedServices &services = session.services;
    MainWindow &w = session.window;
    QVERIFY(session.load());
    w.display()->setScaledPics(scaled);
    session.trigger(byDate ? "mnu_datesort" : "mnu_sortname");
    session.trigger("mnu_autorefresh");
    QVERIFY(session.choose(m_corpus.pictures()));

    QHash<QByteArray, QByteArray> kinds;
    for (const Corpus::Entry &e : m_corpus.entries())
        kinds.insert(e.name, e.kind);
    const QList<QByteArray> names = listNames(w);
    for (const QByteArray &name : names) {
        const int index = int(listNames(w).indexOf(name));
        QVERIFY(index >= 0);
        const qsizetype seen = services.prompts.shown.size();
        services.prompts.answers = {name == deleteThis};
        w.browser()->list()->setListIndex(-1);
        w.browser()->list()->setListIndex(index);
        // A picture slow to decode (a file with thousands of scans on a busy machine) is shown,
        // or refused, once its decode ends.
        QTRY_VERIFY_WITH_TIMEOUT(!w.display()->isPending(), 30000);
        const QList<ScriptedPrompter::Shown> now = services.prompts.shown.mid(seen);
        QString outcome = QStringLiteral("shown");
        if (!now.isEmpty())
            outcome = now[0].title + QLatin1Char(' ') +
                      (now[0].kind == ScriptedPrompter::Question ? QStringLiteral("question")
                                                                 : now[0].prompt.left(12));
        const QByteArray kind = kinds.value(name);
        if (QTest::currentDataTag() == QByteArray("by name, scale to fit"))
            qInfo("%-8s %-40s %s", kind.constData(), fromNative(name).toUtf8().constData(),
                  qPrintable(outcome));
        QVERIFY2(now.size() <= 1, name.constData());
        if (kind == "good" || kind == "shown")
            QVERIFY2(now.isEmpty(), name.constData());
        if (kind == "bad") {
            QVERIFY2(now.size() == 1 && now[0].kind == ScriptedPrompter::Question &&
                         now[0].title == QLatin1String("DELETE FILE"),
                     name.constData());
        }
        if (kind == "huge") {
            // Refused before any pixel buffer is made: as too large (7), or as unreadable when
            // the claim already fails the format's own checks; at actual size, a picture that
            // can be read by region is shown in tiles instead.
            const bool tooLarge = now.size() == 1 && now[0].kind == ScriptedPrompter::Critical &&
                                  now[0].prompt.startsWith(QLatin1String("7\n"));
            const bool unreadable = now.size() == 1 && now[0].title == QLatin1String("DELETE FILE");
            const bool tiled = now.isEmpty() && !scaled && w.viewingArea()->picture1()->isTiled();
            QVERIFY2(tooLarge || unreadable || tiled, name.constData());
        }
    }

    // The slide show over the same list, twice round, with refresh ticking between.
    services.prompts.answers.clear();
    w.slideShow()->setIntervalAsker([](int &interval) {
        interval = 1;
        return true;
    });
    w.slideShow()->toggleslideshow();
    for (int tick = 0; tick < 2 * int(names.size()); ++tick) {
        w.slideShow()->slidetimer_Timer();
        w.browser()->refreshTick();
    }
    w.slideShow()->toggleslideshow();

    QCOMPARE(services.ends.ends, 0);
    if (!deleteThis.isEmpty())
        before.removeOne(deleteThis);
    QCOMPARE(diskNames(m_corpus.pictures()), before);
    QList<QByteArray> expected = m_corpus.listedNames();
    expected.removeOne(deleteThis);
    QCOMPARE(sorted(listNames(w)), sorted(expected));
    if (!deleteThis.isEmpty()) // put back for the next rows
        QVERIFY(QFile(m_corpus.pictures() + QLatin1Char('/') + QString::fromLatin1(deleteThis))
                    .open(QIODevice::WriteOnly));
}

namespace {

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Starts a new peak of resident memory from the present size.
bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush();
}

} // namespace

void TestCorpus::costlyFilesAreBounded_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QSize>("atLeast"); // empty: actual size
    QTest::addColumn<int>("error");
    const QSize fit(1000, 700);
    const int unreadable = LoadedPicture::Unreadable;
    const int tooLarge = LoadedPicture::OutOfMemory;
    QTest::newRow("20,000 empty scans, fitted")
        << QByteArray("scans-20000-8192-square.jpg") << fit << unreadable;
    // Refused for its size where the machine has less than a gigabyte available, else for its
    // scans.
    QTest::newRow("20,000 empty scans, actual size")
        << QByteArray("scans-20000-8192-square.jpg") << QSize()
        << (availableMemory() / 2 < 400LL << 20 ? tooLarge : unreadable);
    QTest::newRow("5,000 empty scans")
        << QByteArray("scans-5000-4096-square.jpg") << fit << unreadable;
    QTest::newRow("progressive grey 32768 square")
        << QByteArray("progressive-grey-32768-square.jpg") << fit << tooLarge;
    QTest::newRow("arithmetic-coded grey 32768 square")
        << QByteArray("arithmetic-grey-32768-square.jpg") << fit << tooLarge;
    QTest::newRow("progressive colour 16384 square")
        << QByteArray("progressive-colour-16384-square.jpg") << fit << tooLarge;
    QTest::newRow("orientation tag on a progressive bomb")
        << QByteArray("orientation-6-progressive-bomb.jpg") << fit << tooLarge;
    QTest::newRow("16x16 BMP in a 1 GiB file") << QByteArray("sparse-1gib.bmp") << QSize() << 0;
    QTest::newRow("60 kB of random orientation data")
        << QByteArray("exif-random.jpg") << QSize() << 0;
    QTest::newRow("5,000 directory links") << QByteArray("exif-many-sub-ifds.jpg") << fit << 0;
    QTest::newRow("1,000 segments of 64 kB") << QByteArray("app1-segments-1000.jpg") << fit << 0;
}

// A file built to cost time or memory costs about a second at most and stays far below the
// memory one picture may use, whatever the view asks of it.
void TestCorpus::costlyFilesAreBounded()
{
    QFETCH(QByteArray, name);
    QFETCH(QSize, atLeast);
    const QByteArray path = QFile::encodeName(m_corpus.pictures()) + '/' + name;
    const bool peakKnown = resetPeakMemory();
    const long idleKb = statusKb("VmRSS:");
    const qint64 before = processorMs();
    const LoadedPicture p = PictureLoader::load(path, atLeast);
    const qint64 ms = processorMs() - before;
    const long aboveIdleMb = (statusKb("VmHWM:") - idleKb) / 1024;
    qInfo("%s: %lld ms, %ld MB above idle, %s", name.constData(), ms, aboveIdleMb,
          qPrintable(p.reason));
    QTEST(p.error, "error");
    QVERIFY2(ms < 3000, "a hostile file must not hold the display");
    if (peakKnown)
        QVERIFY2(aboveIdleMb < 300, "one picture must stay within its memory");
}

// A good picture that cannot be decoded for want of memory is reported as code 7 with the
// reason, never offered for deletion as a damaged file.
void TestCorpus::goodPictureShortOfMemoryIsNotOfferedForDeletion()
{
#ifdef VISTREL_SANITIZED
    QSKIP("the address sanitizer reserves more address space than any limit leaves");
#endif
    const QString folder = m_corpus.root() + QStringLiteral("/large");
    {
        WindowSession session;
        ScopedServices &services = session.services;
        MainWindow &w = session.window;
        QVERIFY(session.load());
        w.display()->setScaledPics(true);
        QVERIFY(session.choose(folder));
        w.browser()->list()->setListIndex(-1);
        w.browser()->list()->setListIndex(0);
        QCOMPARE(services.prompts.shown.size(), 0); // with memory to spare, shown
    }
    const int result = runInChild([&]() -> int {
        WindowSession session;
        ScopedServices &services = session.services;
        MainWindow &w = session.window;
        if (!session.load())
            return 9;
        w.display()->setScaledPics(true);
        if (!session.choose(folder) || w.browser()->list()->count() != 1)
            return 1;
        w.browser()->list()->setListIndex(-1);
        // The window as it is plus 64 MB of address space: less than the decoder needs.
        const rlimit limit = {rlim_t(statusKb("VmSize:") + 64 * 1024) * 1024, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            return 2;
        w.browser()->list()->setListIndex(0);
        if (!QTest::qWaitFor([&] { return !w.display()->isPending(); }, 20000) ||
            services.prompts.shown.size() != 1)
            return 3;
        const ScriptedPrompter::Shown shown = services.prompts.shown[0];
        if (shown.kind != ScriptedPrompter::Critical || shown.title != QLatin1String("ERROR!") ||
            !shown.prompt.startsWith(QLatin1String("7\n\nNot enough memory to show ")))
            return 4;
        return listNames(w).size() == 1 ? 0 : 5;
    });
    QCOMPARE(result, 0);
    QCOMPARE(diskNames(folder), QList<QByteArray>{"progressive-9000-square.jpg"});
}

// A folder at the end of a path of about 4,000 characters opens like any other.
void TestCorpus::deepPathIsListed()
{
    WindowSession session;
    ScopedServices &services = session.services;
    MainWindow &w = session.window;
    QVERIFY(session.load());
    QVERIFY(m_corpus.deep().size() > 3900);
    QVERIFY(session.choose(m_corpus.deep()));
    QCOMPARE(listNames(w), QList<QByteArray>{QByteArrayLiteral("deep.jpg")});
    QCOMPARE(services.prompts.shown.size(), 0);
}

// Choosing a folder without read or execute permission tells the user so and keeps the folder
// and the list shown before. As root it runs in a helper without root's rights.
void TestCorpus::unreadableFolderKeepsThePreviousList()
{
    const QString pictures = m_corpus.pictures();
    const QString locked = m_corpus.locked();
    const QList<QByteArray> expected = sorted(m_corpus.listedNames());
    const int result = runWithoutRoot([&]() -> int {
        WindowSession session;
        ScopedServices &services = session.services;
        MainWindow &w = session.window;
        if (!session.load())
            return 9;
        if (!session.choose(pictures))
            return 1;
        QSignalSpy unreadable(w.browser(), &FolderBrowser::folderUnreadable);
        w.folderTree()->setSelectedPath(locked);
        if (unreadable.size() != 1)
            return 2;
        if (services.prompts.shown.size() != 1 ||
            services.prompts.shown[0].kind != ScriptedPrompter::Critical ||
            services.prompts.shown[0].title != QLatin1String("ERROR!"))
            return 3;
        if (w.browser()->currentFolder() != pictures || sorted(listNames(w)) != expected)
            return 4;
        w.browser()->refreshTick();
        if (services.ends.ends != 0 || sorted(listNames(w)) != expected)
            return 5;
        return 0;
    });
    QVERIFY2(result != -1, "could not drop root's rights for the permission case");
    QCOMPARE(result, 0);
}

QTEST_MAIN(TestCorpus)
#include "test_corpus.moc"
