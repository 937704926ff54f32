// The program as a person runs it: on an X server with a real window manager, keyboard focus
// moving between windows, real message boxes answered with keys, and every key press and click
// sent through the X server. Each case starts the program from its splash over its own settings,
// home folder and pictures.

#include "desktop.h"
#include "messagewatcher.h"

#include "../viewer/pictures.h"
#include "app/mainwindow.h"
#include "app/programrun.h"
#include "app/services.h"
#include "browse/folderbrowser.h"
#include "browse/foldertree.h"
#include "browse/picturelistmodel.h"
#include "info/splashwindow.h"
#include "viewer/pictureview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

using namespace vistrel;
using namespace vistrel::session;

namespace {

Desktop *desktop = nullptr;

// Counts requests to end the run; the run goes on so that the test can look.
class RecordingTerminator final : public Terminator
{
public:
    int ends = 0;
    void endNow() override { ++ends; }
};

// One run of the program: its settings file, a folder for its pictures, and a home folder
// (with or without a documents folder) that the folder tree shows.
class Run
{
public:
    explicit Run(const QByteArray &ini = {}, bool documents = false)
        : m_store(settingsFile(ini), QSettings::IniFormat), m_program(&m_store), m_watcher(*desktop)
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
    QString settingsPath() const { return m_store.fileName(); }

    RecordingTerminator ends;
    MessageWatcher &messages() { return m_watcher; }

private:
    QString settingsFile(const QByteArray &ini)
    {
        const QString path = m_dir.filePath(QStringLiteral("Vistrel.ini"));
        QFile out(path);
        if (!ini.isEmpty() && out.open(QIODevice::WriteOnly))
            out.write("[Settings]\n" + ini);
        return path;
    }

    QTemporaryDir m_dir;
    QSettings m_store;
    ProgramRun m_program;
    MessageWatcher m_watcher;
    Terminator *m_previous = nullptr;
};

QByteArray lastDir(const QString &folder)
{
    return "LastDir=" + folder.toUtf8() + '\n';
}

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

// A point on the text of a row, inside the visible part of the view.
QPoint rowCentre(const QAbstractItemView *view, const QModelIndex &index)
{
    const QRect row = view->visualRect(index);
    return QPoint(qMin(row.center().x(), row.left() + 12), row.center().y());
}

} // namespace

class SessionTest : public QObject
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
    void restoredWindowIsWhollyOnScreen_data();
    void restoredWindowIsWhollyOnScreen();
    void windowKeepsMinimumWithoutWindowManager();
};

void SessionTest::splashKeys_data()
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

void SessionTest::splashKeys()
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

void SessionTest::startupOpensNoFolderByItself_data()
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
void SessionTest::startupOpensNoFolderByItself()
{
    QFETCH(QString, saved);
    QFETCH(bool, documents);
    QFETCH(bool, openAtStart);
    QTemporaryDir place;
    const QString folder = place.filePath(saved);
    QByteArray ini = lastDir(folder);
    if (saved == QLatin1String("only-folders")) {
        QDir().mkpath(folder + QStringLiteral("/sub"));
    } else if (saved == QLatin1String("pictures")) {
        QDir().mkpath(folder);
        QFile out(folder + QStringLiteral("/a.jpg"));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(picture());
    } else if (saved.startsWith(QLatin1String("caf"))) {
        // The folder exists under its byte name; the stored text cannot name it.
        const QByteArray bytes = QFile::encodeName(place.path()) + "/caf\xE9";
        QVERIFY(QDir().mkpath(QFile::decodeName(bytes)));
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

void SessionTest::clearedSelectionShowsNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("scaled");
    QTest::newRow("file not found")
        << QStringLiteral("gone") << QStringLiteral("File not found: %1") << true;
    QTest::newRow("too large for actual size (7)")
        << QStringLiteral("huge")
        << QStringLiteral("7\n\nNot enough memory to show %1: it needs 3608 MB, more than the 269 "
                          "MB one picture may use.")
        << false;
    QTest::newRow("unreadable last entry deleted")
        << QStringLiteral("unreadable") << QStringLiteral("ERROR Reading file (Delete?): %1")
        << true;
}

// A message that leaves nothing selected leaves nothing highlighted and nothing shown, also once
// the focus is back in the list.
void SessionTest::clearedSelectionShowsNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(bool, scaled);
    QTemporaryDir place;
    Run run(lastDir(place.path()) + (scaled ? "" : "Toolbar3=0\n"));
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
        QFile out(place.filePath(QLatin1String(name)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(picture());
    }
    const QString last = place.filePath(QStringLiteral("c.jpg"));
    MainWindow *window = startToMainWindow(run);
    QVERIFY(window);
    QListView *list = window->pictureList();
    PictureListModel *model = window->browser()->list();
    QCOMPARE(model->count(), 3);

    desktop->click(list->viewport(), rowCentre(list, model->index(0)));
    QTRY_COMPARE(model->listIndex(), 0);
    QVERIFY(list->hasFocus());
    if (fault == QLatin1String("gone")) {
        QVERIFY(QFile::remove(last));
    } else {
        QFile out(last);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(fault == QLatin1String("huge") ? test::withClaimedSize(picture(), 30000, 30000)
                                                 : QByteArray("not a picture"));
    }
    desktop->key("End");
    QTRY_COMPARE(run.messages().count(), 1);
    QCOMPARE(run.messages().seen().first().text,
             message.contains(u'%') ? message.arg(last) : message);
    QVERIFY(run.messages().seen().first().ownedByMainWindow);

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
void SessionTest::clickOnCurrentEntryShowsItAgain()
{
    QTemporaryDir place;
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

void SessionTest::restoredWindowIsWhollyOnScreen_data()
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
void SessionTest::restoredWindowIsWhollyOnScreen()
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
void SessionTest::windowKeepsMinimumWithoutWindowManager()
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

int main(int argc, char *argv[])
{
    QTemporaryDir home;
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
    SessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_session.moc"
