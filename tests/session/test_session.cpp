// The program as a person runs it: on an X server with a real window manager, keyboard focus
// moving between windows, real message boxes answered with keys, and every key press and click
// sent through the X server. Each case starts the program from its splash over its own settings,
// home folder and pictures; it prints to a print scheduler of the test's own.

#include "desktop.h"
#include "firstpaint.h"
#include "messagewatcher.h"

#include "app/commandline.h"
#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/programrun.h"
#include "app/statusbar.h"
#include "browse/folderbrowser.h"
#include "browse/foldertree.h"
#include "browse/picturelistmodel.h"
#include "browse/slowfolders.h"
#include "common/nativename.h"
#include "common/requests.h"
#include "common/services.h"
#include "common/shownname.h"
#include "info/splashwindow.h"
#include "pictures.h"
#include "print/paperimage.h"
#include "print/printpreviewdialog.h"
#include "print/privatescheduler.h"
#include "slideshow/slideshow.h"
#include "slideshow/slideshowinfodialog.h"
#include "viewer/picturedisplay.h"
#include "viewer/pictureloader.h"
#include "viewer/pictureview.h"
#include "viewer/shownfile.h"
#include "viewer/tiledpicture.h"

#include "settingsfile.h"
#include "testutils.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

using namespace vistrel;
using namespace vistrel::session;
using vistrel::test::lastDir;
using vistrel::test::RecordingTerminator;

namespace {

Desktop *desktop = nullptr;
test::PrivateScheduler *printing = nullptr;

// One run of the program: its settings file, a folder for its pictures, and a home folder
// (with or without a documents folder) that the folder tree shows.
class Run
{
public:
    explicit Run(
        const QByteArray &ini = {}, bool documents = false,
        ProgramRun::Resolver opening = [] { return OpenRequest(); }, const QString &asked = {})
        : m_store(test::settingsFile(m_dir.path(), ini)), m_program(m_store, opening, asked),
          m_watcher(*desktop)
    {
        const QString home = QString::fromLocal8Bit(qgetenv("HOME"));
        QDir(home).removeRecursively();
        QDir().mkpath(home);
        if (documents)
            QDir(home).mkpath(QStringLiteral("Documents"));
        m_previous = setTerminator(&ends);
    }
    ~Run() { setTerminator(m_previous); }

    QString folder() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile out(file(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    SplashWindow *start() { return m_program.start(); }
    MainWindow *window() const { return m_program.mainWindow(); }
    QString settingsPath() const { return m_store; }

    RecordingTerminator ends;
    MessageWatcher &messages() { return m_watcher; }

private:
    vistrel::test::TemporaryDir m_dir;
    QString m_store;
    ProgramRun m_program;
    MessageWatcher m_watcher;
    Terminator *m_previous = nullptr;
};

QByteArray picture(int width = 64, int height = 48)
{
    return test::encode(test::gradient(width, height), "JPG");
}

// Lets the program run for a while; what must not happen gets the chance to.
void letRun(int ms)
{
    QTest::qWait(ms);
}

bool isActive(const QWidget *window)
{
    return window && QApplication::activeWindow() == window;
}

// The window manager hands the focus back once a message is closed; on a loaded machine that
// may take a while.
bool waitUntilActive(const QWidget *window)
{
    return QTest::qWaitFor([&] { return isActive(window); }, 15000);
}

const char *whoIsActive()
{
    static QByteArray text;
    QString out;
    QDebug(&out) << "active window:" << QApplication::activeWindow()
                 << "modal:" << QApplication::activeModalWidget();
    text = out.toUtf8();
    return text.constData();
}

// Starts the program and passes the splash with the keyboard, as a user does.
MainWindow *startToMainWindow(Run &run)
{
    QPointer<SplashWindow> splash = run.start();
    if (!QTest::qWaitFor([&] { return isActive(splash); }, 10000)) {
        qWarning("The splash did not get the keyboard focus");
        return nullptr;
    }
    desktop->key("Return");
    if (!QTest::qWaitFor([&] { return isActive(run.window()); }, 10000)) {
        qWarning("The main window did not get the keyboard focus");
        return nullptr;
    }
    return run.window();
}

// The desktop entry's command for a file, as a launcher makes it: the Exec line split at its
// blanks, the file's path (bytes, as they are on disk) in place of %f or %F.
std::vector<QByteArray> desktopCommand(const QByteArray &file)
{
    QFile entry(QStringLiteral(VISTREL_DESKTOP_ENTRY));
    if (!entry.open(QIODevice::ReadOnly))
        return {};
    std::vector<QByteArray> command;
    for (const QByteArray &line : entry.readAll().split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        for (const QByteArray &word : line.mid(5).split(' '))
            command.push_back(word == "%f" || word == "%F" ? file : word);
    }
    return command;
}

// A point on the text of a row, inside the visible part of the view.
QPoint rowCentre(const QAbstractItemView *view, const QModelIndex &index)
{
    const QRect row = view->visualRect(index);
    return QPoint(qMin(row.center().x(), row.left() + 12), row.center().y());
}

// Starts the program on its saved folder of count pictures and shows the first with a click.
MainWindow *startShowingFirst(Run &run, int count)
{
    MainWindow *window = startToMainWindow(run);
    if (!window)
        return nullptr;
    QListView *list = window->pictureList();
    PictureListModel *model = window->browser()->list();
    if (!QTest::qWaitFor([&] { return model->count() == count; }, 10000)) {
        qWarning("The folder's %d pictures were not listed", count);
        return nullptr;
    }
    desktop->click(list->viewport(), rowCentre(list, model->index(0)));
    if (!QTest::qWaitFor([&] { return model->listIndex() == 0; }, 10000)) {
        qWarning("A click on the first picture did not show it");
        return nullptr;
    }
    return window;
}

// Runs steps inside the modal window of type W that the input just sent opens: the window holds
// the program in its own event loop, and the steps act in it as a user does. A window the steps
// leave open is closed afterwards. False when no such window became active.
template<typename W, typename Steps> bool inModalWindow(Steps steps)
{
    bool done = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QPointer<W> window = qobject_cast<W *>(QApplication::activeWindow());
        if (!window)
            return;
        poll.stop();
        steps(window.data());
        if (window && window->isVisible())
            window->reject();
        done = true;
    });
    poll.start();
    return QTest::qWaitFor([&] { return done; }, 60000);
}

// A folder shown at a mount point through the tests' FUSE folder (tests/slowfs), whose every call
// waits as long as delay() says, as on a network mount; it answers at once until told otherwise.
class FuseFolder
{
public:
    FuseFolder(const QString &source, const QString &mount)
        : m_mount(mount), m_control(source + QStringLiteral(".delay"))
    {
        setDelay(0);
        QDir().mkpath(mount);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(VISTREL_SLOWFS_SCRIPT), source, mount,
                         QStringLiteral("--control"), m_control});
        m_mounted = QTest::qWaitFor([this] { return isMounted(); }, 10000);
    }
    ~FuseFolder()
    {
        setDelay(0);
        ::umount2(QFile::encodeName(m_mount).constData(), MNT_DETACH);
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        QFile::remove(m_control); // it lies beside the source, outside every folder removed
    }
    bool mounted() const { return m_mounted; }
    bool isMounted() const
    {
        struct statfs fs;
        constexpr long fuseMagic = 0x65735546;
        return ::statfs(QFile::encodeName(m_mount).constData(), &fs) == 0 &&
               long(fs.f_type) == fuseMagic;
    }
    void setDelay(int ms) const
    {
        QFile control(m_control);
        if (control.open(QIODevice::WriteOnly | QIODevice::Truncate))
            control.write(QByteArray::number(ms));
    }

private:
    QString m_mount;
    QString m_control;
    QProcess m_process;
    bool m_mounted = false;
};

const QString printQueue = QStringLiteral("VistrelLetter");

// Whether a pixel of a rendered page has the colour, give or take what printing does to it.
bool looksLike(QRgb pixel, const QColor &colour)
{
    return qAbs(qRed(pixel) - colour.red()) < 40 && qAbs(qGreen(pixel) - colour.green()) < 40 &&
           qAbs(qBlue(pixel) - colour.blue()) < 40;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void splashKeys_data();
    void splashKeys();
    void startupOpensNoFolderByItself_data();
    void startupOpensNoFolderByItself();
    void clearedSelectionShowsNothing_data();
    void clearedSelectionShowsNothing();
    void clickOnCurrentEntryShowsItAgain();
    void bigPictureShown_data();
    void bigPictureShown();
    void stalledStorageLeavesTheWindowAnswering_data();
    void stalledStorageLeavesTheWindowAnswering();
    void pictureShownInItsOwnColours_data();
    void pictureShownInItsOwnColours();
    void restoredWindowIsWhollyOnScreen_data();
    void restoredWindowIsWhollyOnScreen();
    void windowKeepsMinimumWithoutWindowManager();
    void openFromTheDesktopEntry_data();
    void openFromTheDesktopEntry();
    void printFromThePreview_data();
    void printFromThePreview();

private:
    // The scheduler running, with an enabled, accepting Letter queue as the default printer.
    bool readyToPrint();
    bool m_printingRuns = false;
};

void TestSession::splashKeys_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("modifier");
    QTest::addColumn<bool>("continues");
    QTest::addColumn<int>("ends");
    QTest::newRow("Enter on Continue") << QByteArray("Return") << QByteArray() << true << 0;
    QTest::newRow("Space on Continue") << QByteArray("space") << QByteArray() << true << 0;
    QTest::newRow("Tab moves the focus") << QByteArray("Tab") << QByteArray() << false << 0;
    QTest::newRow("Alt+C") << QByteArray("c") << QByteArray("Alt_L") << false << 0;
    QTest::newRow("Escape ends the run") << QByteArray("Escape") << QByteArray() << false << 1;
    QTest::newRow("a letter ends the run") << QByteArray("x") << QByteArray() << false << 1;
}

void TestSession::splashKeys()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, modifier);
    QFETCH(bool, continues);
    QFETCH(int, ends);
    Run run;
    QPointer<SplashWindow> splash = run.start();
    QTRY_VERIFY_WITH_TIMEOUT(isActive(splash), 10000);
    desktop->key(key.constData(), modifier.isEmpty() ? nullptr : modifier.constData());
    if (continues) {
        QTRY_VERIFY_WITH_TIMEOUT(isActive(run.window()), 10000);
        QVERIFY(splash.isNull());
    } else if (ends) {
        QTRY_COMPARE(run.ends.ends, ends);
        QTRY_VERIFY(splash.isNull());
        QVERIFY(!run.window());
    } else {
        letRun(300);
        QVERIFY(isActive(splash));
        QCOMPARE(run.ends.ends, 0);
        QVERIFY(!run.window());
        splash->close();
    }
}

void TestSession::startupOpensNoFolderByItself_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("documents");
    QTest::addColumn<bool>("openAtStart");
    QTest::newRow("saved folder gone, no documents folder")
        << QStringLiteral("gone") << false << false;
    QTest::newRow("saved folder holds only sub-folders")
        << QStringLiteral("only-folders") << false << false;
    QTest::newRow("saved folder name not UTF-8") << QStringLiteral("caf\xE9") << false << false;
    QTest::newRow("saved folder gone, documents folder there")
        << QStringLiteral("gone") << true << false;
    QTest::newRow("a folder open, no documents folder")
        << QStringLiteral("pictures") << false << true;
}

// Focus and the tree's own first state never open a folder; only a choice does. A node whose
// folder is missing says so once, and the tree and the list stay on what was open.
void TestSession::startupOpensNoFolderByItself()
{
    QFETCH(QString, saved);
    QFETCH(bool, documents);
    QFETCH(bool, openAtStart);
    vistrel::test::TemporaryDir place;
    const QString folder = place.filePath(saved);
    QByteArray ini = lastDir(folder);
    if (saved == QLatin1String("only-folders")) {
        QDir().mkpath(folder + QStringLiteral("/sub"));
    } else if (saved == QLatin1String("pictures")) {
        QDir().mkpath(folder);
        QFile out(folder + QStringLiteral("/a.jpg"));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(picture());
    }
    // A folder with a picture, under a byte name that the stored text cannot name.
    const QByteArray bytes = QFile::encodeName(place.path()) + "/caf\xE9";
    const QByteArray inside = bytes + "/a.jpg";
    auto removeBytes = qScopeGuard([&] {
        ::unlink(inside.constData());
        ::rmdir(bytes.constData());
    });
    if (saved.startsWith(QLatin1String("caf"))) {
        QCOMPARE(::mkdir(bytes.constData(), 0700), 0);
        QFile out;
        QVERIFY(out.open(::open(inside.constData(), O_WRONLY | O_CREAT, 0600), QIODevice::WriteOnly,
                         QFileDevice::AutoCloseHandle));
        out.write(picture());
        out.close();
        ini = "LastDir=" + bytes + '\n';
    }
    Run run(ini, documents);
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    FolderTree *tree = window->folderTree();
    QTRY_VERIFY(tree->hasFocus());
    const QString openFolder = openAtStart ? folder : QString();

    // Nothing is opened by the tree having the focus, nor by the focus coming back to it.
    letRun(600);
    desktop->key("Tab");
    QTRY_VERIFY(!tree->hasFocus());
    desktop->key("Tab", "Shift_L");
    QTRY_VERIFY(tree->hasFocus());
    letRun(600);
    QCOMPARE(run.messages().count(), 0);
    QCOMPARE(window->browser()->currentFolder(), openFolder);
    QCOMPARE(window->browser()->list()->count(), openAtStart ? 1 : 0);

    // The documents node, chosen with the mouse.
    const QModelIndex node = tree->model()->index(0, 0);
    tree->scrollTo(node);
    desktop->click(tree->viewport(), rowCentre(tree, node));
    const QString home = QDir::homePath();
    if (documents) {
        QTRY_COMPARE(window->browser()->currentFolder(), home + QStringLiteral("/Documents"));
        letRun(300);
        QCOMPARE(run.messages().count(), 0);
        return;
    }
    QTRY_COMPARE(run.messages().count(), 1);
    const MessageWatcher::Seen &said = run.messages().seen().first();
    QCOMPARE(said.title, QStringLiteral("ERROR!"));
    QCOMPARE(said.text, QStringLiteral("Cannot open the folder %1/Documents: No such file or "
                                       "directory.")
                            .arg(home));
    QVERIFY(said.ownedByMainWindow);
    QVERIFY2(waitUntilActive(window), whoIsActive());
    letRun(800);
    QCOMPARE(run.messages().count(), 1); // said once, not again at every focus change
    QCOMPARE(window->browser()->currentFolder(), openFolder);
    QCOMPARE(window->browser()->holddir(), openFolder);
    const QModelIndexList highlighted = tree->selectionModel()->selectedIndexes();
    if (openAtStart) {
        QCOMPARE(highlighted.size(), 1);
        QCOMPARE(tree->selectedPath(), folder);
    } else {
        QVERIFY(highlighted.isEmpty());
    }
}

void TestSession::clearedSelectionShowsNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("scaled");
    QTest::newRow("file not found")
        << QStringLiteral("gone") << QStringLiteral("File not found: %1") << true;
    QTest::newRow("too large for actual size (7)")
        << QStringLiteral("huge")
        << QStringLiteral("7\n\nNot enough memory to show %1: it needs 6308 MB, more than the 269 "
                          "MB one picture may use.")
        << false;
    QTest::newRow("unreadable last entry deleted")
        << QStringLiteral("unreadable") << QStringLiteral("ERROR Reading file (Delete?): %1")
        << true;
}

// A message that leaves nothing selected leaves nothing highlighted and nothing shown, also once
// the focus is back in the list.
void TestSession::clearedSelectionShowsNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(bool, scaled);
    vistrel::test::TemporaryDir place;
    Run run(lastDir(place.path()) + (scaled ? "" : "Toolbar3=0\n"));
    // The last named so that its path is over 200 characters long.
    const QString longName = QStringLiteral("c") + QString(200, u'x') + QStringLiteral(".jpg");
    for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), longName}) {
        QFile out(place.filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(picture());
    }
    const QString last = place.filePath(longName);
    MainWindow *window = startShowingFirst(run, 3);
    QVERIFY(window);
    QListView *list = window->pictureList();
    PictureListModel *model = window->browser()->list();
    QVERIFY(list->hasFocus());
    if (fault == QLatin1String("gone")) {
        QVERIFY(QFile::remove(last));
    } else {
        QFile out(last);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // A progressive picture must be decoded whole.
        out.write(fault == QLatin1String("huge")
                      ? test::withClaimedSize(test::encode(test::gradient(64, 48), "JPG", 90, true),
                                              30000, 30000)
                      : QByteArray("not a picture"));
    }
    desktop->key("End");
    QTRY_COMPARE(run.messages().count(), 1);
    const MessageWatcher::Seen &said = run.messages().seen().first();
    // Exactly the message, for the eye, a screen reader and a copy alike, and wrapped within the
    // screen by the box's layout.
    const QString told = message.contains(u'%') ? message.arg(last) : message;
    QCOMPARE(said.text, told);
    QCOMPARE(said.accessibleText, told);
    QCOMPARE(said.copied, told);
    QVERIFY(said.onScreen);
    QVERIFY2(said.lines >= 2 && said.wrapped, qPrintable(QString::number(said.lines)));
    QVERIFY(said.ownedByMainWindow);

    QVERIFY2(waitUntilActive(window), whoIsActive());
    QTRY_VERIFY(list->hasFocus());
    letRun(800);
    QCOMPARE(run.messages().count(), 1);
    QCOMPARE(model->listIndex(), -1);
    QVERIFY(list->selectionModel()->selectedIndexes().isEmpty());
    QVERIFY(!window->viewingArea()->image1()->isVisible());
    QVERIFY(!window->viewingArea()->picture1()->isVisible());
    if (fault == QLatin1String("unreadable"))
        QVERIFY(!QFile::exists(last));
}

// A click on the entry already shown shows it again: scroll bars hidden by a resize come back.
void TestSession::clickOnCurrentEntryShowsItAgain()
{
    vistrel::test::TemporaryDir place;
    Run run(lastDir(place.path()) + "Toolbar3=0\n");
    QFile out(place.filePath(QStringLiteral("big.jpg")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(picture(1500, 1200));
    out.close();
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    QListView *list = window->pictureList();
    const QPoint entry = rowCentre(list, window->browser()->list()->index(0));
    desktop->click(list->viewport(), entry);
    QTRY_VERIFY(window->horizontalBar()->isVisible());
    window->resize(window->size() + QSize(40, 30));
    QTRY_VERIFY(!window->horizontalBar()->isVisible());
    desktop->click(list->viewport(), entry);
    QTRY_VERIFY(window->horizontalBar()->isVisible());
    QVERIFY(window->verticalBar()->isVisible());
}

void TestSession::bigPictureShown_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<int>("maxMb");     // above idle; 0: not measured
    QTest::addColumn<bool>("pageDown"); // then one page down in the vertical bar's trough
    const QSize big(10000, 10000), photo(12000, 8400), wide(40000, 2000);
    QTest::newRow("100 MP JPEG at actual size, its top-left colour")
        << QByteArray("jpeg") << big << false << 150 << false;
    QTest::newRow("40,000 px panorama at actual size, scrolled to its right edge")
        << QByteArray("jpeg") << QSize(40000, 2800) << false << 150 << false;
    QTest::newRow("40,000 px panorama stretched")
        << QByteArray("jpeg") << wide << true << 150 << false;
    QTest::newRow("27 MP JPEG at actual size, by tiles, a small JPEG renamed over it")
        << QByteArray("jpeg replaced") << QSize(6000, 4500) << false << 0 << false;
    QTest::newRow("100 MP progressive photo, scaled to fit")
        << QByteArray("progressive") << photo << true << 0 << false;
    QTest::newRow("100 MP progressive photo at actual size")
        << QByteArray("progressive") << photo << false << 0 << false;
    QTest::newRow("1-bit BMP of 20000 square")
        << QByteArray("bmp 1") << QSize(20000, 20000) << true << 150 << false;
    QTest::newRow("1-bit BMP of 65535 square at actual size")
        << QByteArray("bmp 1") << QSize(65535, 65535) << false << 150 << false;
    QTest::newRow("4-bit BMP of 50000 square")
        << QByteArray("bmp 4") << QSize(50000, 50000) << true << 150 << false;
    QTest::newRow("8-bit BMP of 40000 square")
        << QByteArray("bmp 8") << QSize(40000, 40000) << true << 150 << false;
    QTest::newRow("32-bit BMP of 30000 square, colours in the high bytes")
        << QByteArray("bmp 32") << QSize(30000, 30000) << true << 150 << false;
    QTest::newRow("GIF of 43 bytes, a 65535 square screen around one pixel")
        << QByteArray("gif") << QSize(1, 1) << true << 150 << false;
    QTest::newRow("36 MP JPEG in tiles, a page down: picture at its first repaint")
        << QByteArray("jpeg") << QSize(6000, 6000) << false << 0 << true;
}

namespace {

// A picture file of the kind and size asked for: JPEGs red at the left, blue at the right; BMPs
// stored sparse (what is not written reads as the palette's first colour), a band of rows white.
bool makeBigPicture(const QString &path, const QByteArray &kind, const QSize &size)
{
    if (kind == "gif") {
        const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a',  0xFF, 0xFF, 0xFF, 0xFF, 0x80,
                                     0,   0,   0,   0,   0,   0xFF, 0xFF, 0xFF, '!',  0xF9, 4,
                                     0,   0,   0,   0,   0,   ',',  0,    0,    0,    0,    1,
                                     0,   1,   0,   0,   2,   2,    0x44, 1,    0,    ';'};
        QFile out(path);
        return out.open(QIODevice::WriteOnly) &&
               out.write(reinterpret_cast<const char *>(gif), sizeof gif) == qint64(sizeof gif);
    }
    if (kind.startsWith("bmp")) {
        const int bits = kind.mid(4).toInt();
        QByteArray head = test::bmp(QImage(1, 1, QImage::Format_RGB32), bits, false, 40,
                                    bits == 32 ? test::HighByteMasks : test::NoMasks);
        const qint64 stride = (qint64(size.width()) * bits + 31) / 32 * 4;
        const int offset = int(head.size()) - 4;
        head.chop(4);
        for (int i = 0; i < 4; ++i) {
            head[18 + i] = char(size.width() >> (8 * i));
            head[22 + i] = char(size.height() >> (8 * i));
        }
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(head) != head.size() ||
            !out.resize(offset + stride * size.height()))
            return false;
        const QByteArray white(int(stride), char(0xFF));
        for (int r = size.height() / 2; r < size.height() / 2 + 64; ++r)
            if (!out.seek(offset + r * stride) || out.write(white) != white.size())
                return false;
        return true;
    }
    QImage big(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(big.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(255 - x * 255 / (size.width() - 1), 0, x * 255 / (size.width() - 1));
    }
    QImageWriter writer(path, "jpg");
    writer.setQuality(85);
    writer.setProgressiveScanWrite(kind == "progressive");
    return writer.write(big);
}

// Once the picture is in view whole, one page down in the vertical bar's trough, as a user clicks
// it: at the first repaint after the step, the view where the picture is holds picture content
// and no window colour, the tiles not yet decoded drawn from the reduced whole picture.
void pageDownShowsPicture(MainWindow *window)
{
    PictureView *view = window->viewingArea();
    ActualPicture *picture = view->picture1();
    QScrollBar *bar = window->verticalBar();
    const QRgb windowColour = view->palette().window().color().rgb();
    QVERIFY(picture->isTiled());
    QVERIFY2(picture->visiblePart().height() > TiledPicture::tileSide * 3 / 2,
             "the view is too low for a page to reach past the tiles decoded around it");
    QTRY_VERIFY_WITH_TIMEOUT(
        picture->hasOverview() &&
            colourShare(picture->grab(picture->visiblePart()).toImage(), windowColour) == 0,
        20000);
    QTRY_VERIFY(bar->isVisible());
    const int before = bar->value();
    FirstPaint first(
        picture, [&] { return bar->value() != before; },
        [picture] { return picture->visiblePart(); });
    desktop->click(bar, QPoint(bar->width() / 2, bar->height() - bar->width() - 4));
    QTRY_VERIFY_WITH_TIMEOUT(first.grabbed(), 20000);
    QCOMPARE(bar->value(), before + bar->pageStep());
    QCOMPARE(colourShare(first.grab(), windowColour), 0.0);
}

} // namespace

// A big picture is shown in either mode, its colours in place, and at actual size scrolls to its
// far edge, with the program's memory growing by little where it need not hold it whole; one
// that cannot be held is told as code 7, never offered for deletion.
void TestSession::bigPictureShown()
{
    QFETCH(QByteArray, kind);
    QFETCH(QSize, size);
    QFETCH(bool, scaled);
    QFETCH(int, maxMb);
    QFETCH(bool, pageDown);
    QTemporaryDir place;
    const QString path = place.filePath(kind == "gif"            ? QStringLiteral("big.gif")
                                        : kind.startsWith("bmp") ? QStringLiteral("big.bmp")
                                                                 : QStringLiteral("big.jpg"));
    QVERIFY(makeBigPicture(path, kind, size));
    const auto statusKb = [](const char *field) {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0LL;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(qsizetype(std::strlen(field)))
                    .trimmed()
                    .split(' ')
                    .first()
                    .toLongLong();
        return 0LL;
    };
    // For a page down, a view taller than a tile and a half, so that the step reaches past the
    // tiles decoded around the first view.
    Run run(lastDir(place.path()) + (scaled ? "" : "Toolbar3=0\n") +
            (pageDown ? "MainLeft=0\nMainTop=0\nMainWidth=22500\nMainHeight=16500\n" : ""));
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    QListView *list = window->pictureList();
    QTRY_COMPARE(window->browser()->list()->count(), 1);
    ::malloc_trim(0); // what making the file left in the heap is not counted as idle
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    QVERIFY(clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush());
    const qint64 idleKb = statusKb("VmRSS:");
    desktop->click(list->viewport(), rowCentre(list, window->browser()->list()->index(0)));
    PictureView *view = window->viewingArea();
    const auto shown = [&] {
        return !window->display()->isPending() &&
               (scaled ? view->image1()->isVisible() : view->picture1()->isVisible());
    };
    // Where the machine has not the memory for a photo decoded whole, it is told as code 7.
    QTRY_VERIFY_WITH_TIMEOUT(shown() || run.messages().count() > 0, 30000);
    if (run.messages().count() > 0) {
        const QString text = run.messages().seen().first().text;
        QVERIFY2(kind == "progressive" && availableMemory() / 2 < (1LL << 30) &&
                     text.startsWith(QLatin1String("7\n")),
                 qPrintable(text));
        return;
    }
    QCOMPARE(run.messages().count(), 0);
    const auto colourAt = [view](int x, int y) {
        return view->grab().toImage().pixelColor(view->innerOrigin() + QPoint(x, y));
    };
    if (kind.startsWith("jpeg") || kind == "progressive")
        QTRY_VERIFY(test::near(colourAt(2, 2), Qt::red));
    if (kind == "jpeg replaced") {
        // Shown in tiles, the file is replaced by another picture: the new one is on screen
        // soon (a look every second), with nothing of the old one left.
        QVERIFY(view->picture1()->isTiled());
        const QString small = place.filePath(QStringLiteral("small.jpg"));
        QVERIFY(test::solid(64, 48, Qt::green).save(small, "JPG"));
        QElapsedTimer sinceRename;
        sinceRename.start();
        QVERIFY(::rename(QFile::encodeName(small).constData(),
                         QFile::encodeName(path).constData()) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!view->picture1()->isTiled() &&
                                     view->picture1()->picture().size() == QSize(64, 48) &&
                                     test::near(colourAt(int(view->picture1()->left()) + 2,
                                                         int(view->picture1()->top()) + 2),
                                                Qt::green),
                                 20000);
        qInfo("the picture renamed over the one shown in tiles was on screen after %lld ms (2000 "
              "ms at most wanted)",
              sinceRename.elapsed());
        QCOMPARE(run.messages().count(), 0);
        return;
    }
    QScrollBar *bar = window->horizontalBar();
    if (!scaled && size.width() > 20000 && kind == "jpeg") {
        // A middle click puts the thumb where it is clicked; page clicks go the rest.
        QTRY_VERIFY(bar->isVisible());
        const QPoint farEnd(bar->width() - 2 * bar->height(), bar->height() / 2);
        desktop->click(bar, farEnd, 2);
        for (int i = 0; i < 40 && bar->value() < bar->maximum(); ++i) {
            desktop->click(bar, farEnd);
            letRun(50);
        }
        QTRY_COMPARE(bar->value(), bar->maximum());
        QTRY_VERIFY(test::near(colourAt(view->innerSize().width() - 2, 2), Qt::blue));
    }
    if (scaled && kind == "jpeg")
        QTRY_VERIFY(test::near(colourAt(view->innerSize().width() - 2, 2), Qt::blue));
    if (pageDown) {
        pageDownShowsPicture(window);
        if (QTest::currentTestFailed())
            return;
    }
    const qint64 aboveIdleMb = (statusKb("VmHWM:") - idleKb) / 1024;
    qInfo("%lld MB above idle", aboveIdleMb);
    if (maxMb > 0)
        QVERIFY2(aboveIdleMb < maxMb, qPrintable(QString::number(aboveIdleMb)));
    QCOMPARE(run.messages().count(), 0);
}

void TestSession::pictureShownInItsOwnColours_data()
{
    QTest::addColumn<QString>("profile"); // embedded by ImageMagick; empty: none
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<QColor>("expected"); // as ImageMagick converts the file to sRGB
    const QString adobe = QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc");
    QTest::newRow("Adobe RGB JPEG, scaled to fit")
        << adobe << QSize(300, 300) << true << QColor(0, 161, 84);
    QTest::newRow("plain JPEG, its stored numbers")
        << QString() << QSize(300, 300) << true << QColor(40, 160, 90);
    QTest::newRow("Adobe RGB 27 MP JPEG at its own size, by tiles")
        << adobe << QSize(6000, 4500) << false << QColor(0, 161, 84);
}

// Stored pixels (40, 160, 90) mean other colours under an embedded profile: the window shows
// what the profile means (the display here is sRGB), and a file without one as stored.
void TestSession::pictureShownInItsOwnColours()
{
    QFETCH(QString, profile);
    QFETCH(QSize, size);
    QFETCH(bool, scaled);
    QFETCH(QColor, expected);
    if (!profile.isEmpty() && !QFile::exists(profile))
        QSKIP("colord-data is not installed");
    QTemporaryDir place;
    QStringList arguments{
        QStringLiteral("-size"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
        QStringLiteral("xc:rgb(40,160,90)"), QStringLiteral("-quality"), QStringLiteral("100")};
    if (!profile.isEmpty())
        arguments << QStringLiteral("-profile") << profile;
    arguments << place.filePath(QStringLiteral("x.jpg"));
    QCOMPARE(QProcess::execute(QStringLiteral("convert"), arguments), 0);
    Run run(lastDir(place.path()) + (scaled ? "" : "Toolbar3=0\n"));
    MainWindow *window = startShowingFirst(run, 1);
    QVERIFY(window);
    PictureView *view = window->viewingArea();
    const auto centre = [view] {
        return view->grab().toImage().pixelColor(view->innerOrigin() + QPoint(20, 20));
    };
    const auto close = [&] {
        const QColor c = centre();
        return qAbs(c.red() - expected.red()) <= 2 && qAbs(c.green() - expected.green()) <= 2 &&
               qAbs(c.blue() - expected.blue()) <= 2;
    };
    QVERIFY2(QTest::qWaitFor(close, 10000), qPrintable(centre().name()));
    QCOMPARE(window->horizontalBar()->isVisible(), !scaled);
}

void TestSession::stalledStorageLeavesTheWindowAnswering_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("lookupMs");
    QTest::addColumn<QString>("notice");
    QTest::newRow("a click on a picture in a folder with 3 s per lookup")
        << "click" << 3000 << "Reading the picture %1/c.jpg…";
    QTest::newRow("Save into a settings folder that never answers")
        << "save" << -1 << "Saving the settings to %1/Vistrel.ini…";
    QTest::newRow("Exit 2 s into a save into a settings folder with 3 s per lookup")
        << "save then exit" << 3000 << "Saving the settings to %1/Vistrel.ini before ending…";
    QTest::newRow("choosing a folder on a FUSE mount with 2 s per call")
        << "choose on FUSE" << 0 << "Reading the folder %1/mounted…";
    QTest::newRow("Auto Refresh on a folder that stops answering")
        << "refresh" << 0 << "Reading the folder %1…";
    QTest::newRow("Auto Refresh while a picture is copied in with a pause after 300 bytes")
        << "copy" << 0 << QString();
    QTest::newRow("Auto Refresh while a picture arrives in a folder with 1 s per lookup")
        << "arrive" << 1000 << QString();
    QTest::newRow("a picture clicked while it is copied in with a pause, Auto Refresh off")
        << "copy unwatched" << 0 << "The picture %1/z.jpg is still being written.";
    QTest::newRow("a picture clicked on a FUSE mount while copied in behind it with a pause")
        << "copy on FUSE" << 0 << "The picture %1/mounted/z.jpg is still being written.";
    QTest::newRow(
        "a picture clicked while another user copies it in, pausing 6 s, no lease to be had")
        << "copy of another user" << 0 << "The picture %1/z.jpg is still being written.";
    QTest::newRow("a settings file that never answers, from the start")
        << "boot" << -1 << "Reading the settings from %1/Vistrel.ini…";
}

// Storage that is slow or stops answering holds up nothing: the window answers all along (a
// timer on its thread is never late by much), says what it waits for, and Escape ends the run.
void TestSession::stalledStorageLeavesTheWindowAnswering()
{
    QFETCH(QString, action);
    QFETCH(int, lookupMs);
    QFETCH(QString, notice);
    // Workers of earlier rows may still sit in a folder that never answered.
    const int stuckBefore = vistrel::Requests::busyThreads();
    Run run(lastDir(QString()));
    // Four, so that the one clicked was not decoded ahead while the first was shown.
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        run.write(QString::fromLatin1(name), picture());
    {
        QSettings store(run.settingsPath(), QSettings::IniFormat);
        store.setValue(QStringLiteral("Settings/LastDir"), run.folder());
    }
    vistrel::test::TemporaryDir mounted;
    std::unique_ptr<FuseFolder> fuse;
    const bool copyOnFuse = action == QLatin1String("copy on FUSE");
    // Written behind the mount (as by another machine): no lease on the mount tells of it.
    QFile behind(mounted.filePath(QStringLiteral("z.jpg")));
    if (action == QLatin1String("choose on FUSE") || copyOnFuse) {
        for (const char *name : {"m1.jpg", "m2.jpg"}) {
            QFile out(mounted.filePath(QString::fromLatin1(name)));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(picture()) > 0);
        }
        fuse = std::make_unique<FuseFolder>(mounted.path(), run.file(QStringLiteral("mounted")));
        QVERIFY2(fuse->mounted(), "the FUSE folder (python3-fusepy, /dev/fuse) did not mount");
    }
    QFile copy(run.file(QStringLiteral("z.jpg")));
    const QByteArray copied = picture(640, 480);
    if (copyOnFuse) {
        QVERIFY(behind.open(QIODevice::WriteOnly));
        QCOMPARE(behind.write(copied.left(300)), 300);
        QVERIFY(behind.flush());
    }
    // The copy is root's, and the program runs as an unprivileged user: it has no CAP_LEASE, so
    // no lease on the file can be had to tell of its writer.
    const bool otherUser = action == QLatin1String("copy of another user");
    if (action == QLatin1String("copy unwatched") || otherUser) {
        QVERIFY(copy.open(QIODevice::WriteOnly));
        QCOMPARE(copy.write(copied.left(300)), 300);
        QVERIFY(copy.flush());
    }
    const auto asRoot = qScopeGuard([] {
        if (::geteuid() != 0 && ::seteuid(0) != 0)
            qWarning("could not take back root's rights");
    });
    if (otherUser) {
        if (::geteuid() != 0)
            QSKIP("the copy of another user needs root to be that other user");
        // The user keeps root's group.
        QVERIFY(QFile::setPermissions(run.folder(), QFile::permissions(run.folder()) |
                                                        QFile::ReadGroup | QFile::ExeGroup |
                                                        QFile::ReadOther | QFile::ExeOther));
    }
    const auto unslow = qScopeGuard([] {
        vistrel_slow_files(nullptr, 0);
        vistrel_slow_folders(nullptr, 0);
    });
    const bool boot = action == QLatin1String("boot");
    if (boot) // the main window still comes at Continue, with the defaults
        vistrel_slow_files(QFile::encodeName(run.settingsPath()).constData(), lookupMs);
    MainWindow *window =
        boot ? startToMainWindow(run) : startShowingFirst(run, copy.isOpen() ? 5 : 4);
    QVERIFY(window);
    if (!boot)
        vistrel_slow_files(QFile::encodeName(run.folder()).constData(), lookupMs);
    FolderTree *tree = window->folderTree();
    const QString mountPath = run.file(QStringLiteral("mounted"));
    if (fuse) {
        // The folder shown, opened in the tree while the mount answers at once.
        tree->expand(tree->currentIndex());
        auto *model = static_cast<FolderTreeModel *>(tree->model());
        QTRY_VERIFY(model->indexForPath(mountPath).isValid());
        if (!copyOnFuse)
            fuse->setDelay(2000);
    }

    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longest = qMax(longest, sinceTick.restart()); });
    sinceTick.start();
    ticks.start();
    QAction *autoRefresh = window->findChild<QAction *>(QStringLiteral("mnu_autorefresh"));
    if (otherUser) // from the click on: every thread of the process, as glibc does it
        QVERIFY(::seteuid(65534) == 0);
    if (action == QLatin1String("click") || action == QLatin1String("copy unwatched") ||
        otherUser) {
        QListView *list = window->pictureList();
        desktop->click(list->viewport(),
                       rowCentre(list, window->browser()->list()->index(copy.isOpen() ? 4 : 2)));
    } else if (action == QLatin1String("choose on FUSE")) {
        auto *model = static_cast<FolderTreeModel *>(tree->model());
        desktop->click(tree->viewport(), rowCentre(tree, model->indexForPath(mountPath)));
    } else if (copyOnFuse) {
        auto *model = static_cast<FolderTreeModel *>(tree->model());
        desktop->click(tree->viewport(), rowCentre(tree, model->indexForPath(mountPath)));
        PictureListModel *names = window->browser()->list();
        QTRY_COMPARE_WITH_TIMEOUT(names->count(), 3, 20000);
        int row = 0;
        while (row < names->count() && names->entry(row)->name != QLatin1String("z.jpg"))
            ++row;
        QListView *list = window->pictureList();
        desktop->click(list->viewport(), rowCentre(list, names->index(row)));
    } else if (action == QLatin1String("refresh")) {
        vistrel_slow_folders(QFile::encodeName(run.folder()).constData(), -1);
        autoRefresh->trigger();
    } else if (action == QLatin1String("arrive")) {
        // Copied by another program: this one's own lookups in the folder are slowed.
        autoRefresh->trigger();
        letRun(300);
        QFile out(mounted.filePath(QStringLiteral("z.jpg")));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(copied) == copied.size());
        out.close();
        QVERIFY(QProcess::startDetached(QStringLiteral("cp"), {out.fileName(), copy.fileName()}));
    } else if (action == QLatin1String("copy")) {
        // A copy that pauses after its first bytes is not listed, nor asked about, until its
        // writer closes it; then it comes in whole and is shown as the last entry.
        autoRefresh->trigger();
        letRun(300);
        QVERIFY(copy.open(QIODevice::WriteOnly));
        QCOMPARE(copy.write(copied.left(300)), 300);
        QVERIFY(copy.flush());
        letRun(1500);
        QCOMPARE(window->browser()->list()->count(), 4);
        QCOMPARE(copy.write(copied.mid(300)), copied.size() - 300);
        copy.close();
    } else if (action == QLatin1String("save then exit")) {
        desktop->key("s", "Control_L");
        letRun(2000);
        QAction *exit = window->findChild<QAction *>(QStringLiteral("exit"));
        QToolBar *bar = window->findChild<QToolBar *>();
        QVERIFY(exit && bar && bar->widgetForAction(exit));
        desktop->click(bar->widgetForAction(exit), bar->widgetForAction(exit)->rect().center());
    } else if (!boot) {
        desktop->key("s", "Control_L");
    }
    letRun(1000);
    if (!notice.isEmpty())
        QCOMPARE(window->statusPanels()->panelText(1), notice.arg(run.folder()));
    if (otherUser) {
        // The writer pauses for several seconds: the copy is never asked about meanwhile.
        letRun(5000);
        QCOMPARE(window->statusPanels()->panelText(1), notice.arg(run.folder()));
        QCOMPARE(run.messages().count(), 0);
    }
    if (action == QLatin1String("copy unwatched") || copyOnFuse || otherUser) {
        // The copy goes on after its pause: the picture is shown whole once its writer is done.
        QFile &writer = copyOnFuse ? behind : copy;
        QCOMPARE(writer.write(copied.mid(300)), copied.size() - 300);
        writer.close();
    }
    const bool saving = action.startsWith(QLatin1String("save"));
    if (saving) {
        // The end waits for the save, then says, once, that it was not done; the file keeps
        // what it held.
        if (action == QLatin1String("save"))
            desktop->key("Escape");
        QTRY_COMPARE_WITH_TIMEOUT(run.messages().count(), 1, 20000);
        QVERIFY2(run.messages().seen().first().text.startsWith(
                     QStringLiteral("The settings were not saved to %1").arg(run.settingsPath())),
                 qPrintable(run.messages().seen().first().text));
        if (action == QLatin1String("save"))
            QTRY_COMPARE(run.ends.ends, 1);
        else
            QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 20000);
        vistrel_slow_files(nullptr, 0);
        QSettings store(run.settingsPath(), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("Settings/LastDir")).toString(), run.folder());
        QVERIFY(!store.contains(QStringLiteral("Settings/MainWidth")));
        // A save told as not done does not land later: its worker, once the folder answers,
        // removes its new copy and leaves the file as it was. It ends before the folder goes,
        // which it would make anew. (One that never answers never writes.)
        if (lookupMs > 0) {
            QTRY_VERIFY_WITH_TIMEOUT(vistrel::Requests::busyThreads() <= stuckBefore, 30000);
            QCOMPARE(QDir(QFileInfo(run.settingsPath()).path())
                         .entryList({QStringLiteral("Vistrel.ini*")}, QDir::Files | QDir::Hidden),
                     QStringList(QStringLiteral("Vistrel.ini")));
            QSettings after(run.settingsPath(), QSettings::IniFormat);
            QVERIFY(!after.contains(QStringLiteral("Settings/MainWidth")));
        }
    } else {
        letRun(6000);
    }
    letRun(100); // a tick held up at the end counts too
    ticks.stop();
    qInfo("longest time the window did not answer: %lld ms", longest);
    QVERIFY2(longest < 500, qPrintable(QString::number(longest)));
    if (saving)
        return;
    QCOMPARE(run.messages().count(), 0); // nothing told before it is known
    if (action == QLatin1String("copy") || action == QLatin1String("arrive")) {
        QCOMPARE(window->browser()->list()->count(), 5);
        QCOMPARE(window->browser()->list()->listIndex(), 4);
        QCOMPARE(window->browser()->list()->text(), QStringLiteral("z.jpg"));
    }
    if (action == QLatin1String("save")) {
        // Cut to fit panel 1 of an 800 px window, the notice still says the settings wait.
        window->resize(800, window->height());
        QTRY_COMPARE(window->width(), 800);
        const QLabel *panel = window->statusPanels()->panel(1);
        QTRY_VERIFY2(panel->fontMetrics().horizontalAdvance(panel->text()) <=
                         panel->contentsRect().width(),
                     qPrintable(panel->text()));
        QVERIFY2(panel->text().endsWith(QLatin1String("; the settings are not saved yet.")),
                 qPrintable(panel->text()));
        QCOMPARE(panel->accessibleName(), window->statusPanels()->panelText(1));
    }
    if (action == QLatin1String("copy unwatched") || copyOnFuse || otherUser) {
        QCOMPARE(window->display()->shownFile()->fullResolutionReader()().image.size(),
                 QSize(640, 480));
        QCOMPARE(window->statusPanels()->panelText(1).contains(QLatin1String("written")), false);
    }
    QVERIFY(::geteuid() == 0 || ::seteuid(0) == 0); // the settings are saved as before
    desktop->key("Escape");
    QTRY_COMPARE(run.ends.ends, 1);
}

void TestSession::restoredWindowIsWhollyOnScreen_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("sizeKept");
    QTest::newRow("first run") << QByteArray() << true;
    QTest::newRow("saved on a wider screen")
        << QByteArray("MainLeft=27000\nMainTop=3000\n") << true;
    QTest::newRow("partly above the screen") << QByteArray("MainLeft=600\nMainTop=-4500\n") << true;
    QTest::newRow("larger than the screen")
        << QByteArray("MainLeft=0\nMainTop=0\nMainWidth=40000\nMainHeight=30000\n") << false;
}

// However the window was saved, it comes back wholly on the screen; the first run keeps the size
// it is meant to have, toolbar and status bar included, and saves it as such.
void TestSession::restoredWindowIsWhollyOnScreen()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, sizeKept);
    Run run(ini);
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    const QRect available = window->screen()->availableGeometry();
    QTRY_VERIFY2(available.contains(window->frameGeometry()),
                 qPrintable(QStringLiteral("window %1,%2 %3x%4 outside %5x%6")
                                .arg(window->frameGeometry().x())
                                .arg(window->frameGeometry().y())
                                .arg(window->frameGeometry().width())
                                .arg(window->frameGeometry().height())
                                .arg(available.width())
                                .arg(available.height())));
    QVERIFY(window->statusBar()->geometry().bottom() < window->height());
    if (!ini.isEmpty() || !sizeKept)
        return;
    // The first run's size, saved at once, is the size a first run asks for.
    desktop->key("s", "Control_L");
    QTRY_VERIFY(QFile::exists(run.settingsPath()));
    QSettings saved(run.settingsPath(), QSettings::IniFormat);
    saved.beginGroup(QStringLiteral("Settings"));
    QTRY_COMPARE(saved.value(QStringLiteral("MainWidth")).toString(), QStringLiteral("9090"));
    QCOMPARE(saved.value(QStringLiteral("MainHeight")).toString(), QStringLiteral("8610"));
}

// Without a window manager to keep to the minimum size, the window sets itself back to it.
void TestSession::windowKeepsMinimumWithoutWindowManager()
{
    Run run;
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    QVERIFY(desktop->stopWindowManager());
    desktop->resizeWindow(window, 300, 200);
    QTRY_COMPARE(window->size(), minimum);
    QVERIFY(window->statusBar()->isVisible());
    QVERIFY(window->statusBar()->geometry().bottom() < window->height());
    QVERIFY(desktop->startWindowManager());
}

void TestSession::openFromTheDesktopEntry_data()
{
    QTest::addColumn<QByteArray>("path"); // "@" stands for the place of the pictures
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("message"); // "@" stands for the place
    QTest::addColumn<int>("slowMs");      // every folder under the place takes this to open
    QTest::addColumn<bool>("slowPath");   // the path itself too, while the splash is passed
    const QByteArray dir = "@/some dir\xE9";
    const QByteArray markup = dir + "/<b>notes.txt";
    QTest::newRow("picture, a space and a byte not UTF-8 in its name")
        << dir + "/my pic\xE9.jpg" << dir << 1 << QString() << 0 << false;
    QTest::newRow("picture with a line feed in its name, shown with marks the fonts have")
        << dir + "/new\nline.jpg" << dir << 2 << QString() << 0 << false;
    QTest::newRow("folder, relative to the working directory")
        << QByteArray("some dir\xE9") << dir << -1 << QString() << 0 << false;
    QTest::newRow("not a picture, named like markup: its folder, and why")
        << markup << dir << -1
        << fromNative(markup) + QStringLiteral(" is not in the picture list, which holds the files "
                                               "named *.jpg, *.gif and *.bmp that are not hidden.")
        << 0 << false;
    QTest::newRow("missing: said once, then the saved folder")
        << QByteArray("@/gone.jpg") << QByteArray("@/saved") << -1
        << QStringLiteral("Cannot open @/gone.jpg: No such file or directory.") << 0 << false;
    QTest::newRow("in a hidden folder: said once, then the saved folder")
        << QByteArray("@/.hidden/a.jpg") << QByteArray("@/saved") << -1
        << QStringLiteral("Cannot open the folder @/.hidden: the folder tree does not show it "
                          "(hidden folders are not shown).")
        << 0 << false;
    QTest::newRow("picture below folders 3 s slow to open: the window does not wait")
        << dir + "/my pic\xE9.jpg" << dir << 1 << QString() << 3000 << false;
    QTest::newRow(
        "picture whose look and folders take 3 s: the window does not wait, then shows it")
        << dir + "/my pic\xE9.jpg" << dir << 1 << QString() << 3000 << true;
}

// The file manager starts the program with the desktop entry's command: the picture is selected
// and shown in its folder once the splash is passed; what cannot be opened is said once, and the
// start-up goes on as without it. The saved settings stay as they were.
void TestSession::openFromTheDesktopEntry()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, folder);
    QFETCH(int, selected);
    QFETCH(QString, message);
    QFETCH(int, slowMs);
    QFETCH(bool, slowPath);
    vistrel::test::TemporaryDir place;
    const QByteArray base = QFile::encodeName(place.path());
    // Made by their bytes: Qt's file names would not keep a byte that is not UTF-8, nor can Qt
    // remove them with the place.
    const auto removeByBytes = qScopeGuard([&base] {
        for (const char *name :
             {"/a.jpg", "/my pic\xE9.jpg", "/new\nline.jpg", "/<b>notes.txt", ""})
            ::remove(QByteArray(base + "/some dir\xE9" + name).constData());
    });
    for (const char *name : {"/saved", "/some dir\xE9", "/.hidden"})
        QCOMPARE(::mkdir(QByteArray(base + name).constData(), 0755), 0);
    const QByteArray jpeg = picture();
    for (const char *name :
         {"/saved/saved.jpg", "/some dir\xE9/a.jpg", "/some dir\xE9/my pic\xE9.jpg",
          "/some dir\xE9/new\nline.jpg", "/some dir\xE9/<b>notes.txt", "/.hidden/a.jpg"}) {
        const int fd = ::open(QByteArray(base + name).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, jpeg.constData(), std::size_t(jpeg.size())), ssize_t(jpeg.size()));
        ::close(fd);
    }
    path.replace("@", base);
    folder.replace("@", base);

    std::vector<QByteArray> command = desktopCommand(path);
    QCOMPARE(command.size(), std::size_t(2));
    std::vector<char *> argv;
    for (QByteArray &word : command)
        argv.push_back(word.data());
    // As main() reads it, resolved as main() has it resolved, in the place as the working
    // directory; the test's application exists already, and the line holds no option of Qt's.
    const CommandLine line(int(argv.size()), argv.data());
    const ProgramRun::Resolver resolve = [arguments = line.arguments(), base] {
        return arguments.empty() ? OpenRequest() : resolveOpenPath(arguments.front(), base);
    };

    const QByteArray ini = "LastDir=" + base + "/saved\n";
    Run run(ini, false, resolve, fromNative(path));
    const auto unslow = qScopeGuard([] {
        vistrel_slow_folders(nullptr, 0);
        vistrel_slow_files(nullptr, 0);
    });
    if (slowPath)
        vistrel_slow_files(path.constData(), slowMs);
    vistrel_slow_folders(base.constData(), slowMs);
    const int answered = vistrel_slow_folders_answered();
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    // The folders on the way, or the path, are read while the window answers: it is up before
    // they have.
    if (slowMs > 0)
        QCOMPARE(vistrel_slow_folders_answered(), answered);
    if (slowPath) {
        QCOMPARE(window->folderTree()->selectedPath(), QString()); // the saved folder waits
        QCOMPARE(window->statusPanels()->panelText(1),
                 QStringLiteral("Reading %1…").arg(fromNative(path)));
        vistrel_slow_files(nullptr, 0); // only the look begun at the start is slow
    }
    if (slowMs > 0) {
        // Until the tree has found its way to the folder, the path is said to be read.
        QTRY_VERIFY_WITH_TIMEOUT(!window->folderTree()->pendingPath().isEmpty(), 2 * slowMs);
        QCOMPARE(window->statusPanels()->panelText(1),
                 QStringLiteral("Reading %1…").arg(fromNative(path)));
    }
    PictureListModel *list = window->browser()->list();
    const QString listed = fromNative(folder);
    if (message.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(list->listIndex(), selected, 5000 + 4 * slowMs);
    } else {
        QTRY_COMPARE(run.messages().count(), 1);
        const MessageWatcher::Seen &said = run.messages().seen().first();
        QCOMPARE(said.text, message.replace(QLatin1Char('@'), fromNative(base)));
        QVERIFY(said.plain);
        QVERIFY(said.ownedByMainWindow);
        QTRY_VERIFY(isActive(window));
    }
    QCOMPARE(window->browser()->currentFolder(), listed);
    QCOMPARE(window->folderTree()->selectedPath(), listed);
    QCOMPARE(window->folderTree()->selectionModel()->selectedIndexes().size(), 1);
    QCOMPARE(list->listIndex(), selected);
    if (selected >= 0) {
        // One line, every character drawn by the label's own font (no box for a missing one).
        const QLabel *label = window->pathLabel();
        QCOMPARE(label->text(), shownname::visible(fromNative(path)));
        const QFontMetrics metrics(label->font());
        for (const QChar c : label->text())
            QVERIFY2(metrics.inFont(c), qPrintable(QString::number(c.unicode(), 16)));
        QVERIFY(window->viewingArea()->image1()->isVisible());
        QCOMPARE(window->pictureList()->selectionModel()->selectedIndexes().size(), 1);
        // The keyboard is in the list: the arrow keys go on through the pictures.
        desktop->key("Up");
        QTRY_COMPARE(list->listIndex(), selected - 1);
    }
    letRun(300);
    QCOMPARE(run.messages().count(), message.isEmpty() ? 0 : 1);
    QFile settings(run.settingsPath());
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), "[Settings]\n" + ini);
}

bool TestSession::readyToPrint()
{
    if (!m_printingRuns && !printing->start())
        return false;
    m_printingRuns = true;
    return printing->addQueue(printQueue, QStringLiteral("Letter")) &&
           printing->admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), printQueue});
}

void TestSession::printFromThePreview_data()
{
    // fault: what is wrong with printing when the preview opens ("stop" stops the scheduler);
    // steps: what the user does in the preview; told: the start of the message the user sees.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("told");

    QTest::newRow("Enter in a box redraws, prints nothing") << ""
                                                            << "enter"
                                                            << "";
    QTest::newRow("disabled queue, told, preview stays open")
        << "cupsdisable -r Out_of_paper %1"
        << "print"
        << "The page could not be printed: the printer \"VistrelLetter\" is disabled "
           "(Out_of_paper).";
    QTest::newRow("no printer installed") << "lpadmin -x %1"
                                          << "print"
                                          << "No printer is installed. Add a printer";
    QTest::newRow("print service not running")
        << "stop"
        << "print"
        << "The print service is not running, so nothing can be printed";
    QTest::newRow("slide show under the preview, footer and picture agree") << ""
                                                                            << "slide show"
                                                                            << "";
    // "driver SIZE": the default printer is a queue of a real PDF driver with that page size.
    QTest::newRow("driver queue with Letter as its page size prints on Letter")
        << "driver Letter"
        << "print and collect"
        << "";
    QTest::newRow("driver queue with Legal as its page size prints on Legal") << "driver Legal"
                                                                              << "print and collect"
                                                                              << "";
    QTest::newRow("queue holding every job: handed over, waits for release")
        << "lpadmin -p %1 -o job-hold-until-default=indefinite"
        << "print, held"
        << "The page was handed to the printer \"VistrelLetter\", which holds it for release";
    QTest::newRow("interface font of 11 pt: every text of the preview whole") << ""
                                                                              << "font 11"
                                                                              << "";
    QTest::newRow("print service not answering: preview at once, Escape at once") << "pause"
                                                                                  << "escape"
                                                                                  << "";
}

// The preview opened with Ctrl+P over a shown picture, keys and clicks in it, and the page that
// comes out of the print scheduler, or the message that says why none does.
void TestSession::printFromThePreview()
{
    QFETCH(QString, fault);
    QFETCH(QString, steps);
    QFETCH(QString, told);
    // No skip: a machine that cannot run the scheduler cannot show that printing works.
    QVERIFY2(readyToPrint(), qPrintable(QStringLiteral("the private print scheduler did not "
                                                       "start (install cups-daemon): ") +
                                        printing->error()));
    vistrel::test::TemporaryDir place;
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    const auto fileOf = [&](const QColor &colour) {
        return place.filePath(colour.name().mid(1) + QStringLiteral(".bmp"));
    };
    for (const QColor &colour : colours) {
        QFile out(fileOf(colour));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(test::encode(test::solid(64, 48, colour), "BMP"));
    }
    Run run(lastDir(place.path()) + "SlideInterval=1\n");
    MainWindow *window = startShowingFirst(run, 3);
    QVERIFY(window);
    PictureListModel *model = window->browser()->list();

    const auto toolbarButton = [window](Commands::Id command) {
        return window->commands()->toolbar()->widgetForAction(window->commands()->action(command));
    };
    const bool slideShow = steps == QLatin1String("slide show");
    if (slideShow) {
        QWidget *button = toolbarButton(Commands::SlideShow);
        desktop->click(button, button->rect().center());
        QVERIFY(inModalWindow<SlideShowInfoDialog>([](QDialog *asked) {
            desktop->key("Return"); // the stored interval, one second
            QTRY_VERIFY(!asked->isVisible());
        }));
        QTRY_VERIFY(window->slideShow()->slideshowonoff());
    }
    QString queue = printQueue;
    QString sheet = QStringLiteral("612 x 792");
    if (fault.startsWith(QLatin1String("driver "))) {
        const QString size = fault.section(QLatin1Char(' '), 1);
        queue = QStringLiteral("VistrelPdf") + size;
        sheet = size == QLatin1String("Legal") ? QStringLiteral("612 x 1008") : sheet;
        QVERIFY2(printing->addDriverQueue(queue, size) &&
                     printing->admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), queue}),
                 qPrintable(printing->error()));
        fault.clear();
    }
    const QStringList printedBefore = printing->documents(queue);
    const int jobsBefore = printing->jobCount(queue);
    const auto mend = qScopeGuard([&] {
        printing->run(QStringLiteral("resume"));
        printing->run(
            QStringLiteral("lpadmin -p %1 -o job-hold-until-default=no-hold").arg(printQueue));
        printing->run(QStringLiteral("cancel -a %1").arg(printQueue));
    });
    if (!fault.isEmpty())
        QVERIFY2(printing->run(fault.contains(QLatin1String("%1")) ? fault.arg(printQueue) : fault),
                 qPrintable(printing->error()));
    m_printingRuns = fault != QLatin1String("stop");
    const QFont interfaceFont = QApplication::font();
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(interfaceFont); });
    if (steps.startsWith(QLatin1String("font "))) {
        QFont font = interfaceFont;
        font.setPointSizeF(steps.section(QLatin1Char(' '), 1).toDouble());
        QApplication::setFont(font);
    }

    // The preview opens from the keyboard, or from the toolbar when the mouse is there already.
    if (slideShow) {
        QWidget *button = toolbarButton(Commands::Print);
        desktop->click(button, button->rect().center());
    } else {
        QTRY_VERIFY(isActive(window));
        desktop->key("p", "Control_L");
    }
    QString printed;
    QVERIFY(inModalWindow<PrintPreviewDialog>([&](PrintPreviewDialog *preview) {
        if (steps == QLatin1String("escape")) {
            // Up while the print service keeps the lookup waiting, and saying so; Escape closes
            // it while the service still does not answer.
            QVERIFY(!preview->printerKnown());
            QTRY_VERIFY(!preview->drawnPicture().image.isNull());
            QVERIFY(!preview->findChild<PaperImage *>()->notice().isEmpty());
            desktop->key("Escape");
            QTRY_VERIFY_WITH_TIMEOUT(!preview->isVisible(), 10000);
            return;
        }
        QTRY_VERIFY(!preview->drawnPicture().image.isNull()); // the first drawing
        QTRY_VERIFY(preview->printerKnown());
        QSignalSpy drawn(preview, &PrintPreviewDialog::previewDrawn);
        auto *print = preview->findChild<QPushButton *>(QStringLiteral("Command3"));
        if (steps == QLatin1String("enter")) {
            const QImage before = preview->paperContent();
            auto *width = preview->findChild<QLineEdit *>(QStringLiteral("txt_width"));
            desktop->click(width, width->rect().center());
            QTRY_VERIFY(width->hasFocus());
            desktop->key("a", "Control_L");
            desktop->key("3");
            QTRY_COMPARE(width->text(), QStringLiteral("3"));
            desktop->key("Return");
            QTRY_COMPARE(drawn.count(), 1);
            QVERIFY(preview->paperContent() != before);
        } else if (steps == QLatin1String("print")) {
            desktop->click(print, print->rect().center());
            QTRY_COMPARE(run.messages().count(), 1); // answered with Return
        } else if (steps == QLatin1String("print, held")) {
            desktop->click(print, print->rect().center());
            QTRY_COMPARE(run.messages().count(), 1);
            QTRY_VERIFY(!preview->isVisible()); // handed over: the preview's work is done
            return;
        } else if (steps.startsWith(QLatin1String("font "))) {
            // Every caption and box shows its text whole at the desktop's font.
            for (QLabel *label : preview->findChildren<QLabel *>())
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <=
                             label->contentsRect().width(),
                         qPrintable(label->text()));
            for (QPushButton *pushButton : preview->findChildren<QPushButton *>())
                if (pushButton != preview->findChild<QPushButton *>(QStringLiteral("Command1")))
                    QVERIFY2(pushButton->width() >= pushButton->sizeHint().width(),
                             qPrintable(pushButton->text()));
            for (QLineEdit *edit : preview->findChildren<QLineEdit *>())
                QVERIFY2(edit->fontMetrics().horizontalAdvance(QStringLiteral("32767")) + 4 <
                             edit->contentsRect().width(),
                         qPrintable(edit->objectName()));
        } else if (steps == QLatin1String("print and collect")) {
            desktop->click(print, print->rect().center());
            QTRY_VERIFY_WITH_TIMEOUT(
                !(printed = printing->newDocument(queue, printedBefore)).isEmpty(), 30000);
            QTRY_VERIFY(!preview->isVisible());
            return;
        } else {
            // The show moves on under the open preview; Print takes what it shows then.
            const int opened = model->listIndex();
            QTRY_VERIFY_WITH_TIMEOUT(model->listIndex() != opened, 10000);
            desktop->click(print, print->rect().center());
            QTRY_VERIFY_WITH_TIMEOUT(
                !(printed = printing->newDocument(printQueue, printedBefore)).isEmpty(), 30000);
            QTRY_VERIFY(!preview->isVisible());
            return;
        }
        QVERIFY(preview->isVisible()); // open still, to mend the boxes or try again
    }));
    if (QTest::currentTestFailed())
        return;

    if (told.isEmpty()) {
        QCOMPARE(run.messages().count(), 0);
    } else {
        QCOMPARE(run.messages().count(), 1);
        QVERIFY2(run.messages().seen().first().text.startsWith(told),
                 qPrintable(run.messages().seen().first().text));
    }
    if (fault == QLatin1String("pause"))
        QVERIFY(printing->run(QStringLiteral("resume"))); // to count its jobs
    if (printed.isEmpty()) {
        QCOMPARE(printing->documents(queue), printedBefore);
        const bool queueStays = fault.isEmpty() || fault.startsWith(QLatin1String("cupsdisable")) ||
                                fault == QLatin1String("pause");
        if (queueStays)
            QCOMPARE(printing->jobCount(queue), jobsBefore);
        if (steps == QLatin1String("print, held")) // one job, waiting, nothing cancelled
            QCOMPARE(test::runTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), queue})
                         .count(QLatin1Char('\n')),
                     1);
        return;
    }
    // On the queue's own paper, not scaled onto it.
    const QString info = test::runTool(QStringLiteral("pdfinfo"), {printed});
    QVERIFY2(info.contains(QStringLiteral("Page size:       ") + sheet + QLatin1Char(' ')),
             qPrintable(info));
    if (queue != printQueue) {
        // The driver's PostScript keeps no text to read back; the picture shows where it is put.
        const QRgb shown = test::renderFirstPage(printed, 20).pixel(80, 60);
        QVERIFY2(std::any_of(std::begin(colours), std::end(colours),
                             [shown](const QColor &colour) { return looksLike(shown, colour); }),
                 qPrintable(QColor(shown).name()));
        return;
    }
    // The footer names one picture and the page shows that picture.
    const QString text = test::runTool(QStringLiteral("pdftotext"), {printed, QStringLiteral("-")});
    QList<QColor> named;
    for (const QColor &colour : colours)
        if (text.contains(fileOf(colour) + QStringLiteral(" VISTREL")))
            named << colour;
    QVERIFY2(named.size() == 1, qPrintable(text));
    const QRgb shown = test::renderFirstPage(printed, 20).pixel(80, 60);
    QVERIFY2(looksLike(shown, named.first()),
             qPrintable(QStringLiteral("the footer names %1, the page shows %2")
                            .arg(fileOf(named.first()), QColor(shown).name())));
}

int main(int argc, char *argv[])
{
    // The print scheduler sets HOME to a folder of its own; the run's home folder is set after.
    test::PrivateScheduler scheduler;
    printing = &scheduler;
    vistrel::test::TemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("QT_QPA_PLATFORM", "xcb");
    Desktop session;
    if (!session.start(1600, 1200)) {
        std::fprintf(stderr, "No desktop for the session tests: %s\n", qPrintable(session.error()));
        return 1;
    }
    desktop = &session;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TestSession test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_session.moc"
