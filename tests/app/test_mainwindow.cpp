// The main window: its state after start-up, the two surfaces of each command, saving the
// settings and the keys that reach commands.

#include "app/accessibility.h"
#include "app/commandline.h"
#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/settingssaver.h"
#include "app/statusbar.h"
#include "app/toolbaricons.h"
#include "app/windowplacement.h"
#include "browse/folderbrowser.h"
#include "browse/foldertree.h"
#include "browse/picturelistmodel.h"
#include "browse/slowfolders.h"
#include "common/identity.h"
#include "common/nativename.h"
#include "common/requests.h"
#include "settingsfile.h"
#include "slideshow/slideshow.h"
#include "testutils.h"
#include "viewer/pictureview.h"
#include "windowsession.h"

#include <QAccessible>
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <cmath>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using vistrel::test::lastDir;
using vistrel::test::Sandbox;
using vistrel::test::ScopedServices;
using vistrel::test::ScriptedPrompter;
using vistrel::test::WindowSession;

namespace {

// Pictures whose date order (b, c, a) differs from their name order.
void fillDated(Sandbox &box)
{
    box.fill({"a.jpg", "b.jpg", "c.jpg"}, test::tinyPicture());
    box.setMtime(QStringLiteral("a.jpg"), 1700000300);
    box.setMtime(QStringLiteral("b.jpg"), 1700000100);
    box.setMtime(QStringLiteral("c.jpg"), 1700000200);
}

// WCAG relative luminance of a colour.
double luminance(const QColor &c)
{
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast of an icon's outline against the bar: the mean luminance of its edge pixels (half
// opaque or more, beside a pixel that is not or beside the border), drawn over the bar.
double outlineContrast(const QImage &icon, const QColor &bar)
{
    const QImage image = icon.convertToFormat(QImage::Format_ARGB32);
    const auto opaque = [&image](int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() &&
               qAlpha(image.pixel(x, y)) >= 128;
    };
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!opaque(x, y) ||
                (opaque(x - 1, y) && opaque(x + 1, y) && opaque(x, y - 1) && opaque(x, y + 1)))
                continue;
            const QRgb p = image.pixel(x, y);
            const double a = qAlpha(p) / 255.0;
            const QColor shown =
                QColor::fromRgbF(float(qRed(p) / 255.0 * a + bar.redF() * (1 - a)),
                                 float(qGreen(p) / 255.0 * a + bar.greenF() * (1 - a)),
                                 float(qBlue(p) / 255.0 * a + bar.blueF() * (1 - a)));
            sum += luminance(shown);
            ++count;
        }
    }
    const double edge = count ? sum / count : luminance(bar);
    const double back = luminance(bar);
    return (qMax(edge, back) + 0.05) / (qMin(edge, back) + 0.05);
}

const QStringList byName{"a.jpg", "b.jpg", "c.jpg"};
const QStringList byDate{"b.jpg", "c.jpg", "a.jpg"};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        installAccessibleInterfaces();
    }

    void firstRun()
    {
        WindowSession run;
        QVERIFY(run.load());
        QCOMPARE(run.window.windowTitle(), QStringLiteral("Vistrel v%1.%2.%3")
                                               .arg(identity::major)
                                               .arg(identity::minor)
                                               .arg(identity::revision));
        QCOMPARE(run.commands()->buttonValue(1), 0);
        QCOMPARE(run.commands()->buttonValue(2), 1);
        QCOMPARE(run.commands()->buttonValue(3), 1);
        QCOMPARE(run.commands()->buttonValue(4), 0);
        QCOMPARE(run.commands()->buttonValue(6), 0);
        QVERIFY(!run.action(Commands::SortDate)->isChecked());
        QVERIFY(run.action(Commands::SortName)->isChecked());
        QVERIFY(run.action(Commands::ScaleToFit)->isChecked());
        QVERIFY(!run.action(Commands::SlideShow)->isChecked());
        QVERIFY(!run.action(Commands::AutoRefresh)->isChecked());
        QCOMPARE(run.browser()->sortType(), QStringLiteral("Name"));
        QVERIFY(!run.browser()->isAutoRefreshOn());
        QCOMPARE(run.window.slideShow()->slideshowinterval(), 10);
        QCOMPARE(run.browser()->curslide(), 0);
        QVERIFY(!run.window.dontresize());
        QCOMPARE(run.browser()->holddir(), run.window.folderTree()->selectedPath());
        QCOMPARE(run.window.statusPanels()->panelText(1), QStringLiteral("Status"));
        const QRegularExpression loadForm(
            QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d [AP]M$"));
        QVERIFY2(loadForm.match(run.window.statusPanels()->panelText(4)).hasMatch(),
                 qPrintable(run.window.statusPanels()->panelText(4)));
        QCOMPARE(run.window.pathLabel()->text(), QStringLiteral("..."));
        QVERIFY(run.services.prompts.shown.isEmpty());
        // Reading the store wrote nothing into it.
        QVERIFY(!QFile::exists(run.store));
    }

    void startupOrder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("folderExists");
        QTest::addColumn<bool>("trailingSlash");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("pictures") << byName << true << false << true << byName;
        QTest::newRow("pictures, folder stored with a slash")
            << byName << true << true << true << byName;
        QTest::newRow("only a non-picture file")
            << QStringList{"notes.txt"} << true << false << true << QStringList{};
        QTest::newRow("empty folder") << QStringList{} << true << false << false << QStringList{};
        QTest::newRow("vanished folder")
            << QStringList{} << false << false << false << QStringList{};
    }
    void startupOrder()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, folderExists);
        QFETCH(bool, trailingSlash);
        QFETCH(bool, opened);
        QFETCH(QStringList, listed);
        Sandbox box;
        box.fill(files, test::tinyPicture());
        const QString folder = folderExists ? box.path() : box.path() + QStringLiteral("/gone");
        WindowSession run(lastDir(trailingSlash ? folder + QLatin1Char('/') : folder));
        QVERIFY(run.load());
        FolderTree *tree = run.window.folderTree();
        QCOMPARE(tree->selectedPath() == folder, opened);
        QCOMPARE(run.browser()->currentFolder() == folder, opened);
        QCOMPARE(run.names(), listed);
        QCOMPARE(run.browser()->list()->listIndex(), -1);
        QCOMPARE(run.browser()->holddir(), tree->selectedPath());
        QVERIFY(run.services.prompts.shown.isEmpty());
        // A save keeps a real folder: the one listed, else the stored one as it stood.
        run.action(Commands::Save)->trigger();
        QVERIFY(run.settle());
        const QSettings written(run.store, QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("Settings/LastDir")).toString(),
                 opened || !trailingSlash ? folder : folder + QLatin1Char('/'));
    }

    void noLayoutDuringTheLoad()
    {
        Sandbox box;
        box.fill({"a.jpg"}, test::tinyPicture());
        WindowSession run(lastDir(box.path()));
        QWidget *area = run.window.viewingArea();
        const QRect before = area->geometry();
        bool reloadedDuringLoad = false;
        bool dontresize = false;
        QRect during;
        connect(run.window.folderTree(), &FolderTree::selectedPathChanged, this, [&] {
            reloadedDuringLoad = true;
            dontresize = run.window.dontresize();
            run.window.Form_Resize();
            during = area->geometry();
        });
        QVERIFY(run.load());
        QVERIFY(reloadedDuringLoad);
        QVERIFY(dontresize);
        QCOMPARE(during, before);
        QVERIFY(!run.window.dontresize());
        QVERIFY(area->geometry() != before);
    }

    void layoutFollowsTheWindow()
    {
        WindowSession run;
        QVERIFY(run.load());
        run.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&run.window));
        QWidget *area = run.window.viewingArea();
        QWidget *tree = run.window.folderTree();
        QWidget *list = run.window.pictureList();
        const QRect area0 = area->geometry();
        const QRect tree0 = tree->geometry();
        const QRect list0 = list->geometry();
        QCOMPARE(area0.topLeft(), QPoint(176, 18));
        QCOMPARE(tree0.x(), 0);
        QCOMPARE(tree0.width(), 169);
        QCOMPARE(list0.size(), QSize(169, 121));
        QCOMPARE(run.window.horizontalBar()->width(), area0.width());
        QCOMPARE(run.window.horizontalBar()->y(), area0.bottom() + 1);
        QCOMPARE(run.window.verticalBar()->height(), area0.height());
        QCOMPARE(run.window.verticalBar()->x(), area0.right()); // one pixel of overlap

        run.window.resize(run.window.size() + QSize(150, 100));
        QCOMPARE(area->geometry(), QRect(area0.topLeft(), area0.size() + QSize(150, 100)));
        QCOMPARE(tree->geometry(), QRect(tree0.topLeft(), tree0.size() + QSize(0, 100)));
        QCOMPARE(list->geometry(), list0.translated(0, 100));
        QVERIFY(run.window.horizontalBar()->isHidden());
        QVERIFY(run.window.verticalBar()->isHidden());

        // Smaller than the minimum: the areas keep the places they have at the minimum.
        run.window.resize(run.window.minimumSizeHint());
        // Whatever the menu bar's real height, a window at its minimum is stored at it.
        QCOMPARE(run.window.placement()->sizeToStore(), QSizeF(9090, 8610));
        const QRect areaAtMinimum = area->geometry();
        const QRect listAtMinimum = list->geometry();
        run.window.setMinimumSize(0, 0);
        run.window.centralWidget()->setMinimumSize(0, 0);
        run.window.resize(200, 150);
        run.window.Form_Resize();
        QCOMPARE(area->geometry(), areaAtMinimum);
        QCOMPARE(list->geometry(), listAtMinimum);
    }

    void restoredPosition_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("on the screen")
            << QByteArray("MainLeft=1500\nMainTop=750\n") << false << QPoint(100, 50);
        QTest::newRow("partly left of the screen: moved in")
            << QByteArray("MainLeft=-1500\nMainTop=300\n") << false << QPoint(0, 20);
        QTest::newRow("wholly outside every screen")
            << QByteArray("MainLeft=-3000000\nMainTop=-3000000\n") << true << QPoint();
        QTest::newRow("far right and below")
            << QByteArray("MainLeft=2000000000\nMainTop=2000000000\n") << true << QPoint();
    }
    void restoredPosition()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, centred);
        QFETCH(QPoint, position);
        WindowSession run(ini);
        QVERIFY(run.load());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        if (!centred) {
            QCOMPARE(run.window.pos(), position);
            return;
        }
        // Centred with the window manager's frame, which is not there offscreen.
        QVERIFY(screen.contains(run.window.frameGeometry()));
        QVERIFY(qAbs(run.window.frameGeometry().center().x() - screen.center().x()) <= 8);
        QVERIFY(qAbs(run.window.frameGeometry().center().y() - screen.center().y()) <= 16);
    }

    void sortModeFromTheNameButton_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("sortType");
        QTest::newRow("Toolbar2=0, Toolbar1=0") << QByteArray("Toolbar1=0\nToolbar2=0\n") << "Date";
        QTest::newRow("Toolbar2=0, Toolbar1=1") << QByteArray("Toolbar1=1\nToolbar2=0\n") << "Date";
        QTest::newRow("Toolbar2=0, Toolbar1 bad")
            << QByteArray("Toolbar1=7\nToolbar2=0\n") << "Date";
        QTest::newRow("Toolbar2=1, Toolbar1=1") << QByteArray("Toolbar1=1\nToolbar2=1\n") << "Name";
        QTest::newRow("Toolbar2 bad reads as pressed")
            << QByteArray("Toolbar1=1\nToolbar2=x\n") << "Name";
    }
    void sortModeFromTheNameButton()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, sortType);
        Sandbox box;
        fillDated(box);
        WindowSession run(ini + lastDir(box.path()));
        QVERIFY(run.load());
        const bool date = sortType == QLatin1String("Date");
        QCOMPARE(run.browser()->sortType(), sortType);
        QCOMPARE(run.action(Commands::SortDate)->isChecked(), date);
        QCOMPARE(run.action(Commands::SortName)->isChecked(), !date);
        QCOMPARE(run.commands()->buttonValue(2), date ? 0 : 1);
        QCOMPARE(run.names(), date ? byDate : byName);
    }

    void toolbarButtons()
    {
        WindowSession run;
        const QStringList keys{"sortdate",    "sortname", "scalepic", "slideshow", "Delete",
                               "autorefresh", "print",    "save",     "exit"};
        QCOMPARE(run.commands()->toolbar()->actions().size(), 9);
        for (int i = 1; i <= 9; ++i) {
            QCOMPARE(run.commands()->buttonKey(i), keys.at(i - 1));
            QVERIFY(!run.commands()->button(i)->icon().isNull());
        }
        QCOMPARE(run.commands()->button(0), nullptr);
        QCOMPARE(run.commands()->button(10), nullptr);
    }

    // Steps: "menu:date", "menu:name", "key:<toolbar key>", "mouse:<toolbar key>".
    void sortSurfacesAgree_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("modes");
        QTest::newRow("menu name, then button date")
            << QStringList{"menu:name", "key:sortdate"} << QStringList{"Name", "Date"};
        QTest::newRow("button date, then menu name")
            << QStringList{"key:sortdate", "menu:name"} << QStringList{"Date", "Name"};
        QTest::newRow("pressed date button clicked again")
            << QStringList{"key:sortdate", "key:sortdate", "key:sortdate"}
            << QStringList{"Date", "Date", "Date"};
        QTest::newRow("pressed name button clicked again")
            << QStringList{"key:sortname", "key:sortname"} << QStringList{"Name", "Name"};
        QTest::newRow("checked menu item chosen again")
            << QStringList{"menu:date", "menu:date", "menu:name", "menu:name"}
            << QStringList{"Date", "Date", "Name", "Name"};
        QTest::newRow("mouse clicks on the buttons")
            << QStringList{"mouse:sortdate", "mouse:sortdate", "menu:name", "mouse:sortname",
                           "mouse:sortdate"}
            << QStringList{"Date", "Date", "Name", "Name", "Date"};
    }
    void sortSurfacesAgree()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, modes);
        Sandbox box;
        fillDated(box);
        WindowSession run(lastDir(box.path()));
        QVERIFY(run.load());
        run.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&run.window));
        PictureListModel *list = run.browser()->list();
        list->setListIndex(1);
        QSignalSpy refills(list, &QAbstractItemModel::modelReset);
        for (int i = 0; i < steps.size(); ++i) {
            const QString kind = steps[i].section(QLatin1Char(':'), 0, 0);
            const QString what = steps[i].section(QLatin1Char(':'), 1);
            const int resetsBefore = refills.count();
            if (kind == QLatin1String("menu")) {
                run.action(what == QLatin1String("date") ? Commands::SortDate : Commands::SortName)
                    ->trigger();
            } else if (kind == QLatin1String("key")) {
                QVERIFY(run.commands()->clickToolbarKey(what));
            } else {
                const int index = what == QLatin1String("sortdate") ? 1 : 2;
                QWidget *button =
                    run.commands()->toolbar()->widgetForAction(run.commands()->button(index));
                QVERIFY(button);
                QTest::mouseClick(button, Qt::LeftButton);
            }
            const QString step = steps[i];
            const bool date = modes[i] == QLatin1String("Date");
            QVERIFY2(run.browser()->sortType() == modes[i], qPrintable(step));
            QVERIFY2(run.action(Commands::SortDate)->isChecked() == date, qPrintable(step));
            QVERIFY2(run.action(Commands::SortName)->isChecked() == !date, qPrintable(step));
            QVERIFY2(run.commands()->buttonValue(1) == (date ? 1 : 0), qPrintable(step));
            QVERIFY2(run.commands()->buttonValue(2) == (date ? 0 : 1), qPrintable(step));
            QVERIFY2(refills.count() > resetsBefore, qPrintable(step)); // sorted again
            QVERIFY2(run.names() == (date ? byDate : byName), qPrintable(step));
            // The same folder: the index is selected again.
            QVERIFY2(list->listIndex() == 1, qPrintable(step));
            QVERIFY2(run.window.pictureList()->currentIndex().row() == 1, qPrintable(step));
        }
    }

    void autoRefreshSurfacesAgree()
    {
        Sandbox box;
        box.fill({"a.jpg"}, test::tinyPicture());
        WindowSession run(lastDir(box.path()));
        QVERIFY(run.load());
        QAction *menu = run.action(Commands::AutoRefresh);
        const QList<bool> expected{true, false, true, false};
        for (int i = 0; i < expected.size(); ++i) {
            if (i % 2 == 0)
                menu->trigger();
            else
                QVERIFY(run.commands()->clickToolbarKey(QStringLiteral("autorefresh")));
            QCOMPARE(run.browser()->isAutoRefreshOn(), expected[i]);
            QCOMPARE(menu->isChecked(), expected[i]);
            QCOMPARE(run.commands()->buttonValue(6), expected[i] ? 1 : 0);
        }
    }

    void toolbarDispatchByKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("sortType");
        QTest::newRow("sortdate") << "sortdate" << true << "Date";
        QTest::newRow("sortname") << "sortname" << true << "Name";
        QTest::newRow("letter case counts") << "SortDate" << false << "Name";
        QTest::newRow("delete in small letters") << "delete" << false << "Name";
        QTest::newRow("menu item name") << "mnu_datesort" << false << "Name";
        QTest::newRow("about has no button") << "about" << false << "Name";
        QTest::newRow("empty") << "" << false << "Name";
    }
    void toolbarDispatchByKey()
    {
        QFETCH(QString, key);
        QFETCH(bool, known);
        QFETCH(QString, sortType);
        WindowSession run;
        QVERIFY(run.load());
        run.commands()->clickToolbarKey(QStringLiteral("sortname"));
        QCOMPARE(run.commands()->clickToolbarKey(key), known);
        QCOMPARE(run.browser()->sortType(), sortType);
        QCOMPARE(run.commands()->buttonValue(1), sortType == QLatin1String("Date") ? 1 : 0);
        QCOMPARE(run.commands()->buttonValue(2), sortType == QLatin1String("Name") ? 1 : 0);
    }

    void shortcuts_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("save") << "mnu_save"
                              << "Ctrl+S";
        QTest::newRow("delete") << "mnu_delete"
                                << "Ctrl+X";
        QTest::newRow("print") << "mnu_print"
                               << "Ctrl+P";
        QTest::newRow("sort by date") << "mnu_datesort"
                                      << "Ctrl+D";
        QTest::newRow("sort by name") << "mnu_sortname"
                                      << "Ctrl+N";
        QTest::newRow("exit has none") << "exit"
                                       << "";
        QTest::newRow("auto refresh has none") << "mnu_autorefresh"
                                               << "";
    }
    void shortcuts()
    {
        QFETCH(QString, objectName);
        QFETCH(QString, shortcut);
        WindowSession run;
        auto *action = run.window.findChild<QAction *>(objectName);
        QVERIFY(action);
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    }

    void shortcutsReachTheirCommands()
    {
        Sandbox box;
        fillDated(box);
        WindowSession run(lastDir(box.path()));
        QVERIFY(run.load());
        run.window.show();
        run.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&run.window));
        run.window.folderTree()->setFocus();

        // Each command's outcome may come late: its reads and the save run off the window's
        // thread.
        QTest::keyClick(&run.window, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(run.browser()->sortType(), QStringLiteral("Date"));
        QCOMPARE(run.commands()->buttonValue(1), 1);
        QVERIFY(run.settle());
        QCOMPARE(run.names(), byDate);
        QTest::keyClick(&run.window, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(run.browser()->sortType(), QStringLiteral("Name"));
        QCOMPARE(run.commands()->buttonValue(2), 1);
        QVERIFY(run.settle());
        QCOMPARE(run.names(), byName);
        const auto savedKeys = [&] {
            QSettings file(run.store, QSettings::IniFormat);
            file.beginGroup(QStringLiteral("Settings"));
            return file.childKeys().size();
        };
        QCOMPARE(savedKeys(), 1);
        QTest::keyClick(&run.window, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(run.settle());
        QCOMPARE(savedKeys(), 9);
        QVERIFY(run.services.prompts.shown.isEmpty());
        QCOMPARE(run.services.ends.ends, 0);
    }

    void buttonWriteFromCodeRunsNoClickHandling()
    {
        Sandbox box;
        fillDated(box);
        WindowSession run(lastDir(box.path()));
        QVERIFY(run.load());
        QList<QSignalSpy *> spies;
        for (int i = 1; i <= 9; ++i) {
            spies.append(new QSignalSpy(run.commands()->button(i), &QAction::triggered));
            spies.append(new QSignalSpy(run.commands()->button(i), &QAction::toggled));
        }
        QSignalSpy refills(run.browser()->list(), &QAbstractItemModel::modelReset);
        for (int i : {1, 2, 3, 4, 6}) {
            run.commands()->setButtonValue(i, 1);
            QCOMPARE(run.commands()->buttonValue(i), 1);
            run.commands()->setButtonValue(i, 0);
            QCOMPARE(run.commands()->buttonValue(i), 0);
        }
        run.commands()->setButtonValue(1, 1);
        for (QSignalSpy *spy : spies)
            QCOMPARE(spy->count(), 0);
        qDeleteAll(spies);
        QCOMPARE(refills.count(), 0);
        QCOMPARE(run.browser()->sortType(), QStringLiteral("Name"));
        QVERIFY(!run.browser()->isAutoRefreshOn());
    }

    void saveWritesTheNineKeys_data()
    {
        QTest::addColumn<QByteArray>("folderName");
        QTest::newRow("ordinary folder") << QByteArray("photos");
        QTest::newRow("folder name with a byte that is not UTF-8") << QByteArray("caf\xe9");
    }
    void saveWritesTheNineKeys()
    {
        QFETCH(QByteArray, folderName);
        Sandbox box;
        const QString folder = box.path() + QLatin1Char('/') + fromNative(folderName);
        QVERIFY(::mkdir(QByteArray(QFile::encodeName(box.path()) + '/' + folderName).constData(),
                        0755) == 0);
        for (const QString &name : byName) {
            const QByteArray path = toNative(folder + QLatin1Char('/') + name);
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            const QByteArray bytes = test::tinyPicture();
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, bytes.constData(), std::size_t(bytes.size())),
                     ssize_t(bytes.size()));
            ::close(fd);
        }
        WindowSession run;
        QVERIFY(run.load());
        QVERIFY(run.choose(folder));
        run.window.resize(700, 600);
        run.window.move(45, 30);
        run.commands()->clickToolbarKey(QStringLiteral("sortdate"));
        run.window.slideShow()->setSlideshowinterval(7);
        run.action(Commands::Save)->trigger();
        QVERIFY(run.settle());
        QVERIFY(run.services.prompts.shown.isEmpty());
        QTRY_COMPARE(QGuiApplication::overrideCursor(), nullptr); // once the picture is shown

        QSettings written(run.store, QSettings::IniFormat);
        written.beginGroup(QStringLiteral("Settings"));
        QCOMPARE(written.childKeys().size(), 9);
        auto text = [&](const char *key) { return written.value(QLatin1String(key)).toString(); };
        QCOMPARE(text("SlideInterval"), QStringLiteral("7"));
        QCOMPARE(text("Toolbar1"), QStringLiteral("1"));
        QCOMPARE(text("Toolbar2"), QStringLiteral("0"));
        QCOMPARE(text("Toolbar3"), QStringLiteral("1"));
        QCOMPARE(text("MainLeft"), QString::number(run.window.frameGeometry().x() * 15));
        QCOMPARE(text("MainTop"), QString::number(run.window.frameGeometry().y() * 15));
        QCOMPARE(text("MainWidth"), QString::number(700 * 15 + 120));
        QCOMPARE(text("MainHeight"), QString::number(600 * 15 + 390));

        // The next start comes back as this one was saved, in the same folder.
        WindowSession next({}, run.store);
        QVERIFY(next.load());
        QCOMPARE(next.window.size(), QSize(700, 600));
        QCOMPARE(next.window.slideShow()->slideshowinterval(), 7);
        QCOMPARE(next.browser()->sortType(), QStringLiteral("Date"));
        QCOMPARE(toNative(next.browser()->currentFolder()), toNative(folder));
        QCOMPARE(next.window.folderTree()->selectedPath(), folder);
        QCOMPARE(next.browser()->list()->count(), 3);
        QCOMPARE(next.commands()->buttonValue(1), 1);
        QCOMPARE(next.commands()->buttonValue(2), 0);
    }

    // Where the platform cannot tell where the window is, the position read at start is stored
    // again, wherever the window may be.
    void unknownPositionKeepsTheRestoredOne()
    {
        WindowSession run("MainLeft=1500\nMainTop=750\n");
        QVERIFY(run.load());
        run.window.placement()->setPositionKnown(false);
        run.window.move(400, 300);
        run.action(Commands::Save)->trigger();
        QVERIFY(run.settle());
        QSettings written(run.store, QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("Settings/MainLeft")).toString(), "1500");
        QCOMPARE(written.value(QStringLiteral("Settings/MainTop")).toString(), "750");
    }

    // A click on the entry already shown shows it again, and during a slide show keeps it for
    // one more interval: the show goes on from the picture clicked.
    void clickOnTheCurrentEntryShowsItAgain()
    {
        Sandbox box;
        fillDated(box);
        WindowSession run(lastDir(box.path()));
        QVERIFY(run.load());
        run.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&run.window));
        PictureListModel *list = run.browser()->list();
        list->setListIndex(1);
        run.browser()->setCurslide(2); // a slide tick has moved on to the next picture
        QListView *view = run.window.pictureList();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(list->index(1)).center());
        QCOMPARE(list->listIndex(), 1);
        QCOMPARE(run.browser()->curslide(), 1);
    }

    // A save is told as done or failed only once its outcome is known: at once when the folder
    // answers at once, else once it answers, with "Saving" meanwhile and the window free.
    void failingSaveIsReported_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<int>("slowMs");
        QTest::newRow("a place no file can be written") << false << 0;
        QTest::newRow("a slow folder: saved once it answers") << true << 300;
        QTest::newRow("a slow place that fails: told once it answers") << false << 300;
    }
    void failingSaveIsReported()
    {
        QFETCH(bool, writable);
        QFETCH(int, slowMs);
        vistrel::test::TemporaryDir config;
        const QString path = writable ? config.filePath(QStringLiteral("Vistrel.ini"))
                                      : QStringLiteral("/proc/vistrel/Vistrel.ini");
        WindowSession run(QByteArray(), path);
        QVERIFY(run.load());
        const struct Slowed
        {
            Slowed(const QString &prefix, int ms)
            {
                vistrel_slow_files(QFile::encodeName(prefix).constData(), ms);
            }
            ~Slowed() { vistrel_slow_files(nullptr, 0); }
        } slowed(QFileInfo(path).path(), slowMs);
        run.commands()->clickToolbarKey(QStringLiteral("save"));
        const ScriptedPrompter &prompts = run.services.prompts;
        MainStatusBar *status = run.window.statusPanels();
        if (slowMs == 0) {
            QVERIFY(run.settle());
        } else { // the click returned before the slow folder answered
            QCOMPARE(prompts.shown.size(), 0);
            QCOMPARE(status->panelText(1), QStringLiteral("Saving the settings to %1…").arg(path));
            QTRY_VERIFY_WITH_TIMEOUT(!run.window.settingsSaver()->isSaving(), 20000);
        }
        QCOMPARE(prompts.shown.size(), writable ? 0 : 1);
        if (!writable) {
            QCOMPARE(prompts.shown.at(0).kind, ScriptedPrompter::Critical);
            QVERIFY2(prompts.shown.at(0).prompt.contains(path),
                     qPrintable(prompts.shown.at(0).prompt));
            QVERIFY2(!status->panelText(1).contains(QStringLiteral("settings")),
                     qPrintable(status->panelText(1)));
        } else {
            QCOMPARE(status->panelText(1),
                     QStringLiteral("The settings were saved to %1.").arg(path));
            QSettings written(path, QSettings::IniFormat);
            QCOMPARE(written.value(QStringLiteral("Settings/Toolbar2")).toString(), "1");
        }
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(run.services.ends.ends, 0);
    }

    // Exit, Escape and the close box end the run only once a save asked for has its outcome,
    // told as usual; one still unknown after the bound is told, once, as not done.
    void endWaitsForTheSave_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("slowMs");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("told");
        QTest::newRow("Exit, nothing being saved: at once") << "Exit" << 0 << true << QString();
        QTest::newRow("Exit during a slow save: ends once saved")
            << "Exit" << 300 << true << QString();
        QTest::newRow("Escape during a slow save that fails: the failure, then the end")
            << "Escape" << 300 << false << "The settings could not be saved to %1";
        QTest::newRow("the close box, a folder that never answers: not saved, then the end")
            << "close" << -1 << true
            << "The settings were not saved to %1: the folder %2 does "
               "not answer.";
    }
    void endWaitsForTheSave()
    {
        QFETCH(QString, how);
        QFETCH(int, slowMs);
        QFETCH(bool, writable);
        QFETCH(QString, told);
        vistrel::test::TemporaryDir config;
        const QString path = writable ? config.filePath(QStringLiteral("Vistrel.ini"))
                                      : QStringLiteral("/proc/vistrel/Vistrel.ini");
        WindowSession run(QByteArray(), path);
        run.window.Form_Load();
        run.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&run.window));
        run.action(Commands::SortDate)->trigger(); // Toolbar1 becomes 1 once saved
        const auto unslow = qScopeGuard([] { vistrel_slow_files(nullptr, 0); });
        if (slowMs != 0) {
            vistrel_slow_files(QFile::encodeName(QFileInfo(path).path()).constData(), slowMs);
            run.action(Commands::Save)->trigger();
            QVERIFY(run.window.settingsSaver()->isSaving());
        }
        const auto ended = [&] {
            return how == QLatin1String("Escape") ? run.services.ends.ends == 1
                                                  : !run.window.isVisible();
        };
        if (how == QLatin1String("Exit"))
            run.action(Commands::Exit)->trigger();
        else if (how == QLatin1String("Escape"))
            QTest::keyClick(run.window.folderTree(), Qt::Key_Escape);
        else
            run.window.close();
        if (slowMs != 0) {
            QVERIFY(!ended());
            QCOMPARE(run.window.statusPanels()->panelText(1),
                     QStringLiteral("Saving the settings to %1 before ending…").arg(path));
            QVERIFY(QGuiApplication::overrideCursor());
        }
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 20000);
        const ScriptedPrompter &prompts = run.services.prompts;
        QCOMPARE(prompts.shown.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty()) {
            QCOMPARE(prompts.shown.at(0).kind, ScriptedPrompter::Critical);
            const QString expected = QString(told)
                                         .replace(QLatin1String("%1"), path)
                                         .replace(QLatin1String("%2"), QFileInfo(path).path());
            QVERIFY2(prompts.shown.at(0).prompt.startsWith(expected),
                     qPrintable(prompts.shown.at(0).prompt));
        }
        if (writable) {
            vistrel_slow_files(nullptr, 0);
            QSettings written(path, QSettings::IniFormat);
            QCOMPARE(written.value(QStringLiteral("Settings/Toolbar1")).toString(),
                     QLatin1String(slowMs > 0 ? "1" : ""));
        }
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(run.services.ends.ends, how == QLatin1String("Escape") ? 1 : 0);
    }

    // The command line's path that does not answer is said to be read, then once that it does
    // not answer; the folder is opened when it answers.
    void commandLinePathThatDoesNotAnswer()
    {
        Sandbox box;
        fillDated(box);
        WindowSession run;
        std::promise<void> gate;
        bool released = false;
        const auto release = qScopeGuard([&] {
            if (!released)
                gate.set_value();
        });
        const QString asked = box.file(QStringLiteral("b.jpg"));
        run.window.setOpenRequest(std::make_unique<EarlyRequest<OpenRequest>>(
                                      Request(asked),
                                      [opened = gate.get_future().share(), folder = box.path()] {
                                          opened.wait();
                                          OpenRequest request;
                                          request.kind = OpenRequest::Kind::Picture;
                                          request.folder = folder;
                                          request.picture = "b.jpg";
                                          return request;
                                      }),
                                  asked);
        run.window.Form_Load();
        MainStatusBar *status = run.window.statusPanels();
        QCOMPARE(status->panelText(1), QStringLiteral("Reading %1…").arg(asked));
        QTRY_COMPARE_WITH_TIMEOUT(status->panelText(1),
                                  QStringLiteral("The path %1 does not answer.").arg(asked), 20000);
        released = true;
        gate.set_value();
        QTRY_COMPARE_WITH_TIMEOUT(run.browser()->currentFolder(), box.path(), 20000);
        QCOMPARE(run.names(), byName);
        QVERIFY2(!status->panelText(1).contains(asked), qPrintable(status->panelText(1)));
    }

    void unreadableFolderIsReported()
    {
        Sandbox box;
        const QString a = box.mkdir(QStringLiteral("a"));
        const QString b = box.mkdir(QStringLiteral("b"));
        box.fill({"a/one.jpg", "a/two.jpg"}, test::tinyPicture());
        WindowSession run(lastDir(a));
        QVERIFY(run.load());
        QCOMPARE(run.browser()->currentFolder(), a);
        run.browser()->list()->setListIndex(1);
        QVERIFY(QDir(b).removeRecursively());
        QVERIFY(run.choose(b));
        const ScriptedPrompter &prompts = run.services.prompts;
        QCOMPARE(prompts.count(ScriptedPrompter::Critical), 1);
        QVERIFY2(prompts.shown.at(0).prompt.contains(b), qPrintable(prompts.shown.at(0).prompt));
        QCOMPARE(run.window.folderTree()->selectedPath(), a);
        QCOMPARE(run.browser()->currentFolder(), a);
        QCOMPARE(run.names(), (QStringList{"one.jpg", "two.jpg"}));
        QCOMPARE(run.browser()->list()->listIndex(), 1);
        QCOMPARE(run.browser()->holddir(), a);
    }

    // A saved folder, or a settings file, that is slow to answer: the window is usable at once,
    // says what is being read, ends at once on Escape meanwhile, and lists the folder when it
    // answers. Settings that come late are taken in as if read at start, unless a Save of what
    // the window shows (the defaults) has made them stale.
    void slowSavedFolderIsListedWhenItAnswers_data()
    {
        QTest::addColumn<bool>("slowSettings");
        QTest::addColumn<QString>("step");
        QTest::newRow("waited for") << false << "";
        QTest::newRow("Escape meanwhile") << false << "Escape";
        QTest::newRow("settings: defaults meanwhile, taken in late") << true << "";
        QTest::newRow("settings: a Save meanwhile drops the late read") << true << "Save";
    }
    void slowSavedFolderIsListedWhenItAnswers()
    {
        QFETCH(bool, slowSettings);
        QFETCH(QString, step);
        Sandbox box;
        fillDated(box);
        vistrel::test::TemporaryDir config;
        // Stored: sorted by date, a slide interval of 25 s.
        const QString store = test::settingsFile(
            config.path(), lastDir(box.path()) + "Toolbar2=0\nSlideInterval=25\n");
        const struct Slowed
        {
            Slowed(const QString &prefix, bool files)
            {
                if (files)
                    vistrel_slow_files(QFile::encodeName(prefix).constData(), 300);
                else
                    vistrel_slow_folders(QFile::encodeName(prefix).constData(), 300);
            }
            ~Slowed()
            {
                vistrel_slow_folders(nullptr, 0);
                vistrel_slow_files(nullptr, 0);
            }
        } slowed(slowSettings ? store : box.path(), slowSettings);
        const int threads = test::threadCount();
        WindowSession run(QByteArray(), store);
        run.window.Form_Load(); // as the program, without waiting for what comes late
        const QDateTime stored = QFileInfo(run.store).lastModified();
        MainStatusBar *status = run.window.statusPanels();
        if (slowSettings) {
            QCOMPARE(status->panelText(1),
                     QStringLiteral("Reading the settings from %1…").arg(store));
            QCOMPARE(run.browser()->sortType(), QStringLiteral("Name"));
            QCOMPARE(run.window.slideShow()->slideshowinterval(), 10);
            QCOMPARE(run.window.folderTree()->selectedPath(), QString());
        } else {
            QTRY_COMPARE(run.browser()->pendingFolder(), box.path());
            QCOMPARE(status->panelText(1),
                     QStringLiteral("Reading the folder %1…").arg(box.path()));
        }
        QCOMPARE(run.names(), QStringList());
        if (step == QLatin1String("Escape")) {
            QTest::keyClick(run.window.folderTree(), Qt::Key_Escape);
            QCOMPARE(run.services.ends.ends, 1);
            QCOMPARE(QFileInfo(run.store).lastModified(), stored); // nothing saved
        } else if (step == QLatin1String("Save")) {
            run.commands()->clickToolbarKey(QStringLiteral("save"));
            QTRY_VERIFY_WITH_TIMEOUT(!run.window.settingsSaver()->isSaving(), 20000);
            // The late read comes meanwhile, and must change nothing.
            QVERIFY(test::detachedWorkEnded(threads));
            QCOMPARE(run.browser()->sortType(), QStringLiteral("Name"));
            QCOMPARE(run.window.folderTree()->selectedPath(), QString());
            QCOMPARE(QSettings(store, QSettings::IniFormat).value("Settings/Toolbar2").toString(),
                     "1");
            return;
        }
        QTRY_COMPARE(run.browser()->currentFolder(), box.path());
        QCOMPARE(run.names(), byDate);
        QCOMPARE(run.browser()->holddir(), box.path());
        QCOMPARE(run.window.slideShow()->slideshowinterval(), 25);
        QCOMPARE(run.commands()->buttonValue(2), 0);
        QCOMPARE(status->panelText(1),
                 slowSettings ? QStringLiteral("The settings were read from %1.").arg(store)
                              : QString());
    }

    // A notice too long for panel 1 loses the middle of its path, never what it says of it.
    void longNoticeKeepsItsVerdict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("room"); // of the text's own width
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("end");
        const QString unsaved = QStringLiteral("The folder of /home/someone/.config/Vistrel/"
                                               "Vistrel.ini does not answer; the settings are "
                                               "not saved yet.");
        QTest::newRow("fits") << unsaved << 1.0 << unsaved << unsaved;
        QTest::newRow("the path's middle goes")
            << unsaved << 0.7 << "The folder of /h"
            << "i does not answer; the settings are not saved yet.";
        QTest::newRow("a name to its stop")
            << QStringLiteral("Reading the folder /srv/share/photos/2026/a long holiday…") << 0.8
            << "Reading the folder /s"
            << "holiday…";
        QTest::newRow("no path") << QStringLiteral("Nothing but words, and more words, to the end")
                                 << 0.6 << "Noth"
                                 << "end";
        QTest::newRow("no room for the path") << unsaved << 0.3 << "The"
                                              << "yet.";
    }
    void longNoticeKeepsItsVerdict()
    {
        QFETCH(QString, text);
        QFETCH(double, room);
        QFETCH(QString, head);
        QFETCH(QString, end);
        const QFontMetrics metrics(QApplication::font());
        const int width = int(metrics.horizontalAdvance(text) * room);
        const QString shown = MainStatusBar::elided(text, metrics, width);
        QVERIFY2(shown.startsWith(head) && shown.endsWith(end), qPrintable(shown));
        QVERIFY2(metrics.horizontalAdvance(shown) <= width, qPrintable(shown));
        QCOMPARE(shown == text, room >= 1.0);
    }

    // What a screen reader announces for each area; "<path>" is the picture shown.
    void accessibleNames_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::newRow("toolbar") << "Toolbar1"
                                 << "Toolbar" << int(QAccessible::ToolBar);
        QTest::newRow("folder tree") << "FolderTreeview1"
                                     << "Folders" << int(QAccessible::Tree);
        QTest::newRow("picture list") << "SortedList"
                                      << "Pictures" << int(QAccessible::List);
        QTest::newRow("viewing area") << "picContainer"
                                      << "Picture view" << -1;
        QTest::newRow("stretched picture") << "Image1"
                                           << "<path>" << int(QAccessible::Graphic);
        QTest::newRow("picture at its size") << "Picture1"
                                             << "<path>" << int(QAccessible::Graphic);
    }
    void accessibleNames()
    {
        QFETCH(QString, object);
        QFETCH(QString, name);
        QFETCH(int, role);
        Sandbox box;
        box.fill({"a.jpg", "b.jpg"}, test::tinyPicture());
        WindowSession run(lastDir(box.path()));
        QVERIFY(run.load());
        run.browser()->list()->setListIndex(1);
        name.replace(QStringLiteral("<path>"), box.path() + QStringLiteral("/b.jpg"));
        auto *widget = run.window.findChild<QWidget *>(object);
        QVERIFY(widget);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        if (role >= 0)
            QCOMPARE(int(accessible->role()), role);
    }

    void escapeInTheTreeEndsTheRun_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("ends");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << 1;
        QTest::newRow("Down") << int(Qt::Key_Down) << 0;
        QTest::newRow("letter") << int(Qt::Key_M) << 0;
    }
    // Every toolbar picture stands out from light and dark bars alike, also when the palette
    // changes while the window is open.
    void toolbarIconsStandOut_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QColor>("bar");
        const QList<QPair<const char *, QColor>> bars{{"light", QColor(0xef, 0xef, 0xef)},
                                                      {"white", QColor(Qt::white)},
                                                      {"dark", QColor(0x35, 0x35, 0x35)},
                                                      {"near black", QColor(0x1e, 0x1e, 0x1e)}};
        for (int button = 1; button <= 9; ++button)
            for (const auto &[name, colour] : bars)
                QTest::addRow("button %d on a %s bar", button, name) << button << colour;
    }
    void toolbarIconsStandOut()
    {
        QFETCH(int, button);
        QFETCH(QColor, bar);
        QMainWindow window;
        Commands commands(&window);
        QPalette palette = commands.toolbar()->palette();
        palette.setColor(commands.toolbar()->backgroundRole(), bar);
        commands.toolbar()->setPalette(palette);
        const QImage icon = commands.button(button)->icon().pixmap(16, 16).toImage();
        QCOMPARE(icon.size(), QSize(16, 16));
        const double contrast = outlineContrast(icon, bar);
        // As drawn for a light bar, for comparison.
        const QString name = commands.buttonKey(button).toLower();
        const double asDrawn = outlineContrast(
            toolbaricons::icon(name, QColor(Qt::white)).pixmap(16, 16).toImage(), bar);
        qInfo("%s: %.1f : 1 (as drawn for a light bar %.1f : 1)", qPrintable(name), contrast,
              asDrawn);
        QVERIFY2(contrast >= 3.0, qPrintable(QString::number(contrast, 'f', 2)));
    }

    void escapeInTheTreeEndsTheRun()
    {
        QFETCH(int, key);
        QFETCH(int, ends);
        WindowSession run;
        QVERIFY(run.load());
        QTest::keyClick(run.window.folderTree(), Qt::Key(key));
        QCOMPARE(run.services.ends.ends, ends);
        QVERIFY(!QFile::exists(run.store)); // nothing saved
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
