// The real main window over the bad-input corpus: every entry listed or left out as it must be,
// in both sort orders, with automatic refresh on and a slide show stepping through it all.

#include "asnobody.h"
#include "corpus.h"
#include "hardeningtools.h"
#include "testutils.h"

#include "browse/foldertree.h"
#include "slideshow/slideshow.h"

#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>

using namespace vistrel;
using namespace vistrel::test;

class CorpusTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void goodEntriesAreGoodPictures();
    void listsExactlyThePictureFiles_data();
    void listsExactlyThePictureFiles();
    void deepPathIsListed();
    void unreadableFolderKeepsThePreviousList();

private:
    Corpus m_corpus;
};

void CorpusTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_corpus.make(QStringLiteral(VISTREL_CORPUS_SCRIPT)), qPrintable(m_corpus.error()));
    QVERIFY(m_corpus.entries().size() > 60);
}

// The corpus itself: what it calls good must be a readable picture, or the display cases below
// would blame the program for the corpus's fault.
void CorpusTest::goodEntriesAreGoodPictures()
{
    for (const Corpus::Entry &e : m_corpus.entries()) {
        if (e.kind != "good")
            continue;
        // By bytes: Qt's own file names cannot reach names that are not UTF-8.
        QFile file;
        const QByteArray path = QFile::encodeName(m_corpus.pictures()) + '/' + e.name;
        const int fd = ::open(path.constData(), O_RDONLY);
        QVERIFY(fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle));
        QImage image;
        QVERIFY2(image.loadFromData(file.readAll()), e.name.constData());
        QVERIFY(!image.isNull());
    }
}

void CorpusTest::listsExactlyThePictureFiles_data()
{
    QTest::addColumn<bool>("byDate");
    QTest::addColumn<bool>("refresh");
    QTest::newRow("by name") << false << false;
    QTest::newRow("by date") << true << false;
    QTest::newRow("by name, automatic refresh on") << false << true;
    QTest::newRow("by date, automatic refresh on") << true << true;
}

void CorpusTest::listsExactlyThePictureFiles()
{
    QFETCH(bool, byDate);
    QFETCH(bool, refresh);
    ScopedServices services;
    const QList<QByteArray> before = diskNames(m_corpus.pictures());
    WindowSession session;
    MainWindow &w = session.window();
    session.trigger(byDate ? "mnu_datesort" : "mnu_sortname");
    if (refresh)
        session.trigger("mnu_autorefresh");
    QCOMPARE(w.browser()->isAutoRefreshOn(), refresh);

    // The FIFO and the symbolic-link loop sit in this folder: reading it must not block.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(w.folderTree()->setSelectedPath(m_corpus.pictures()));
    QVERIFY(clock.elapsed() < 5000);
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

    QCOMPARE(services.ends.ends, 0);
    QCOMPARE(services.prompts.shown.size(), 0);
    QCOMPARE(sorted(listNames(w)), expected);
    QCOMPARE(diskNames(m_corpus.pictures()), before);
    QVERIFY(clock.elapsed() < 30000);
}

// A folder at the end of a path of about 4,000 characters opens like any other.
void CorpusTest::deepPathIsListed()
{
    ScopedServices services;
    WindowSession session;
    MainWindow &w = session.window();
    QVERIFY(m_corpus.deep().size() > 3900);
    QVERIFY(w.folderTree()->setSelectedPath(m_corpus.deep()));
    QCOMPARE(listNames(w), QList<QByteArray>{QByteArrayLiteral("deep.jpg")});
    QCOMPARE(services.prompts.shown.size(), 0);
}

// Choosing a folder without read or execute permission tells the user so and keeps the folder
// and the list shown before. As root it runs in a helper without root's rights.
void CorpusTest::unreadableFolderKeepsThePreviousList()
{
    const QString pictures = m_corpus.pictures();
    const QString locked = m_corpus.locked();
    const QList<QByteArray> expected = sorted(m_corpus.listedNames());
    const int result = runWithoutRoot([&]() -> int {
        ScopedServices services;
        WindowSession session;
        MainWindow &w = session.window();
        if (!w.folderTree()->setSelectedPath(pictures))
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

QTEST_MAIN(CorpusTest)
#include "test_corpus.moc"
