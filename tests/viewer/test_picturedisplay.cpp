#include "decoders.h"
#include "doubles.h"
#include "pictures.h"
#include "testutils.h"
#include "windowsession.h"

#include "app/mainwindow.h"
#include "app/statusbar.h"
#include "browse/folderbrowser.h"
#include "browse/foldertree.h"
#include "browse/picturelistmodel.h"
#include "browse/slowfolders.h"
#include "common/filewriters.h"
#include "slideshow/slideshow.h"
#include "viewer/picturedisplay.h"
#include "viewer/picturegeometry.h"
#include "viewer/pictureloader.h"
#include "viewer/pictureview.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWheelEvent>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace vistrel;
using namespace vistrel::test;

namespace {

const QColor background(40, 40, 40);

// Every lookup of a file under the prefix takes this long while this lives; 0 slows nothing.
struct SlowFiles
{
    SlowFiles(const QString &prefix, int ms)
    {
        vistrel_slow_files(ms ? QFile::encodeName(prefix).constData() : nullptr, ms);
    }
    ~SlowFiles() { vistrel_slow_files(nullptr, 0); }
    SlowFiles(const SlowFiles &) = delete;
    SlowFiles &operator=(const SlowFiles &) = delete;
};

// While this lives, leases tell nothing (as behind a mount) unless `leases`, and the wall clock
// that tells a recent change runs `ahead` seconds ahead.
struct ScopedWriterFacts final : WriterFacts
{
    explicit ScopedWriterFacts(bool withLeases) : leases(withLeases)
    {
        previous = setWriterFacts(this);
    }
    ~ScopedWriterFacts() override { setWriterFacts(previous); }
    ScopedWriterFacts(const ScopedWriterFacts &) = delete;
    ScopedWriterFacts &operator=(const ScopedWriterFacts &) = delete;
    bool leasesTell(int fd) const override { return leases && WriterFacts::leasesTell(fd); }
    std::chrono::system_clock::time_point now() const override
    {
        return WriterFacts::now() + std::chrono::seconds(ahead.load());
    }
    const bool leases;
    std::atomic<int> ahead{0};
    WriterFacts *previous = nullptr;
};

// The main window (WindowSession) over a sandbox folder, with the parts these tests look at.
// Panel 1's texts are recorded as they are written: the display's (the sizes) in `status1` and
// `statusWritten`, the notices in `notice`.
struct Rig : QObject
{
    WindowSession session;
    Sandbox box;
    ScopedServices &services = session.services;
    FolderBrowser &browser = *session.browser();
    PictureDisplay &display = *session.window.display();
    PictureView *const view = session.window.viewingArea();
    QScrollBar *const h = session.window.horizontalBar();
    QScrollBar *const v = session.window.verticalBar();
    QLabel *const label = session.window.pathLabel();
    QString notice;
    QString status1;
    QStringList statusWritten;

    explicit Rig(bool scaled)
    {
        QPalette pal = view->palette();
        pal.setColor(QPalette::Window, background);
        view->setPalette(pal);
        view->setFixedSize(302, 202); // the sizes the pictures below are chosen for
        display.setScaledPics(scaled);
        session.window.statusPanels()->panel(1)->installEventFilter(this);
        session.window.show();
        display.onContainerResized();
    }
    // The texts recorded go before the window: it is told no more.
    ~Rig() override { session.window.statusPanels()->panel(1)->removeEventFilter(this); }
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;
    // Panel 1's label takes a tool tip each time its text is set.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString text = session.window.statusPanels()->panelText(1);
        // "Status" is the panel's first text, shown again as the window is laid out.
        if (event->type() == QEvent::ToolTipChange && text != QLatin1String("Status")) {
            if (isNotice(text)) {
                notice = text;
            } else {
                status1 = text;
                statusWritten << text;
            }
        }
        return QObject::eventFilter(watched, event);
    }
    // The display writes only the sizes there (sizeText); anything else is a notice.
    static bool isNotice(const QString &text)
    {
        static const QRegularExpression sizes(QStringLiteral("^\\d+x\\d+   \\d+x\\d+   $"));
        return !sizes.match(text).hasMatch();
    }
    // Chooses the sandbox in the tree and waits until its pictures are listed.
    void open()
    {
        QVERIFY(session.window.folderTree()->setSelectedPath(box.path()));
        QTRY_VERIFY_WITH_TIMEOUT(browser.pendingFolder().isEmpty() &&
                                     session.window.folderTree()->pendingPath().isEmpty(),
                                 20000);
    }
    // Selects an entry and waits until its display is done (a decode that takes longer than
    // a frame is presented by a queued call).
    void select(int index)
    {
        browser.list()->setListIndex(index);
        QTRY_VERIFY_WITH_TIMEOUT(!display.isPending(), 20000);
    }
    void put(const QString &name, const QImage &image) { box.write(name, encode(image, "bmp")); }
    QString pathOf(const QString &name) const { return box.path() + QLatin1Char('/') + name; }
    QStringList names() const { return session.names(); }
    QColor pixelAt(int x, int y) const
    {
        const QPoint origin = view->innerOrigin();
        return view->grab().toImage().pixelColor(origin.x() + x, origin.y() + y);
    }
};

} // namespace

// The display of the selected picture in both modes, its failures, deleting, and Esc.
class TestPictureDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void scaleToFitFillsTheWholeArea()
    {
        Rig rig(true);
        rig.put(QStringLiteral("a.bmp"), solid(50, 30, Qt::red));
        rig.open();
        rig.select(0);

        const QSize inner = rig.view->innerSize();
        QVERIFY(rig.view->image1()->isVisible());
        QVERIFY(!rig.view->picture1()->isVisible());
        QCOMPARE(rig.view->image1()->size(), inner);
        QCOMPARE(rig.label->text(), rig.pathOf(QStringLiteral("a.bmp")));
        QCOMPARE(rig.status1, sizeText(inner.height(), inner.width(), 794, 1323));
        for (const QPoint &p : {QPoint(0, 0), QPoint(inner.width() - 1, inner.height() - 1),
                                QPoint(inner.width() / 2, inner.height() / 2)})
            QCOMPARE(rig.pixelAt(p.x(), p.y()), QColor(Qt::red));
        QCOMPARE(rig.browser.curslide(), 0);
    }

    void actualSizeIsCentred_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::newRow("even difference") << QSize(100, 60);
        QTest::newRow("odd difference is drawn at the half pixel's floor") << QSize(99, 61);
    }
    void actualSizeIsCentred()
    {
        QFETCH(QSize, picture);
        Rig rig(false);
        rig.put(QStringLiteral("a.bmp"), solid(picture.width(), picture.height(), Qt::green));
        rig.open();
        rig.select(0);

        const QSize inner = rig.view->innerSize();
        const double left = (inner.width() - picture.width()) / 2.0;
        const double top = (inner.height() - picture.height()) / 2.0;
        QVERIFY(rig.view->picture1()->isVisible());
        QVERIFY(!rig.view->image1()->isVisible());
        QCOMPARE(rig.view->picture1()->left(), left);
        QCOMPARE(rig.view->picture1()->top(), top);
        QVERIFY(!rig.h->isVisible() && !rig.v->isVisible());
        const int x = int(left), y = int(top);
        QCOMPARE(rig.pixelAt(x, y), QColor(Qt::green));
        QCOMPARE(rig.pixelAt(x + picture.width() - 1, y + picture.height() - 1), QColor(Qt::green));
        QCOMPARE(rig.pixelAt(x - 1, y), background);
        QCOMPARE(rig.pixelAt(x, y - 1), background);
        QCOMPARE(rig.pixelAt(x + picture.width(), y), background);
        QVERIFY(rig.status1.isEmpty()); // panel 1 is left alone at actual size
    }

    void hugeOverhangScrollsToItsFarEdge_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("40000 x 4 BMP, held whole") << 4 << QByteArray("bmp");
        QTest::newRow("40000 x 700 JPEG, shown in tiles") << 700 << QByteArray("jpg");
    }
    void hugeOverhangScrollsToItsFarEdge()
    {
        QFETCH(int, height);
        QFETCH(QByteArray, format);
        Rig rig(false);
        QImage wide = solid(40000, height, Qt::green);
        for (int y = 0; y < height; ++y)
            for (int x = 39984; x < 40000; ++x)
                wide.setPixelColor(x, y, Qt::blue);
        const QString name = QStringLiteral("a.") + QString::fromLatin1(format);
        rig.box.write(name, encode(wide, format.constData()));
        wide = QImage();
        rig.open();
        rig.select(0);

        const QSize inner = rig.view->innerSize();
        const bool tall = height > inner.height();
        QCOMPARE(rig.view->picture1()->isTiled(), tall);
        QVERIFY(rig.h->isVisible());
        QCOMPARE(rig.v->isVisible(), tall); // wide but short: only the horizontal bar
        QCOMPARE(rig.h->maximum(), 40000 - inner.width());
        QCOMPARE(rig.view->picture1()->left(), 1.0);
        QCOMPARE(rig.view->picture1()->top(), tall ? 1.0 : (inner.height() - height) / 2.0);
        QTRY_VERIFY(near(rig.pixelAt(2, inner.height() / 2), Qt::green));
        QTRY_VERIFY(!tall || rig.view->picture1()->hasOverview());

        rig.h->setValue(rig.h->maximum());
        QCOMPARE(rig.view->picture1()->left(), -double(40000 - inner.width()));
        // The picture, reduced, at the first repaint; never the window colour.
        QVERIFY(!near(rig.pixelAt(inner.width() / 2, inner.height() / 2), background));
        QTRY_VERIFY(near(rig.pixelAt(inner.width() - 2, inner.height() / 2 - 1), Qt::blue));

        // Dragging moves the picture on every position of the thumb.
        QSignalSpy moved(rig.h, &QScrollBar::sliderMoved);
        rig.h->setSliderDown(true);
        rig.h->setSliderPosition(1200);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(rig.view->picture1()->left(), -1200.0);
        rig.h->setSliderDown(false);
        rig.h->setValue(0);
        QCOMPARE(rig.view->picture1()->left(), 0.0);
    }

    // A picture shown in tiles whose file changes is shown anew as the file is now: another
    // picture renamed over it is shown, and a file cut in place is told as a click on it tells,
    // once (where no lease tells, as still being written), none of its old tiles left in view.
    void replacedTiledPictureIsShownAnew_data()
    {
        QTest::addColumn<int>("cutTo"); // bytes left; 0: replaced instead; -1: left as it is
        QTest::addColumn<bool>("leases");
        QTest::addColumn<QString>("told"); // "asked", "written" or "" (nothing)
        QTest::newRow("its overview refused for memory: the tiles show it, nothing told")
            << -1 << true << "";
        QTest::newRow("a small picture renamed over it") << 0 << true << "";
        QTest::newRow("cut in place to 1000 bytes where no lease tells: still being written")
            << 1000 << false << "written";
        QTest::newRow("cut in place to 1000 bytes, nobody writes: shown as far as it goes")
            << 1000 << true << "";
        QTest::newRow("cut in place to 400 bytes, no picture data left: asked about once")
            << 400 << true << "asked";
    }
    void replacedTiledPictureIsShownAnew()
    {
        QFETCH(int, cutTo);
        QFETCH(bool, leases);
        QFETCH(QString, told);
        ScopedWriterFacts facts(leases);
        Rig rig(false);
        const QString file = rig.box.file(QStringLiteral("a.jpg"));
        rig.box.write(QStringLiteral("a.jpg"), encode(solid(40000, 700, Qt::green), "jpg"));
        if (cutTo < 0)
            rig.display.setDecoder(regionsOnlyDecoder());
        rig.open();
        rig.select(0);
        QVERIFY(rig.view->picture1()->isTiled());
        const int bottom = rig.view->innerSize().height() - 2;
        QTRY_VERIFY(near(rig.pixelAt(2, bottom), Qt::green));
        const ScriptedPrompter &prompts = rig.services.prompts;
        if (cutTo < 0) {
            // The overview's answer is taken in before a call posted after it has come.
            QVERIFY(rig.display.cache().waitIdle());
            bool after = false;
            QMetaObject::invokeMethod(
                &rig.display, [&after] { after = true; }, Qt::QueuedConnection);
            QTRY_VERIFY(after);
            QVERIFY(!rig.view->picture1()->hasOverview());
            QCOMPARE(prompts.shown.size(), 0);
            QCOMPARE(rig.notice, QString());
            return;
        }
        if (cutTo == 0) {
            const QString small = rig.box.file(QStringLiteral("new.bmp"));
            rig.put(QStringLiteral("new.bmp"), solid(50, 30, Qt::red));
            QVERIFY(::rename(QFile::encodeName(small).constData(),
                             QFile::encodeName(file).constData()) == 0);
            QTRY_VERIFY_WITH_TIMEOUT(!rig.view->picture1()->isTiled(), 10000);
            QTRY_COMPARE(rig.view->picture1()->picture().size(), QSize(50, 30));
            QVERIFY(prompts.shown.isEmpty());
            return;
        }
        QVERIFY(::truncate(QFile::encodeName(file).constData(), cutTo) == 0);
        const QString path = rig.pathOf(QStringLiteral("a.jpg"));
        if (told == QLatin1String("asked")) {
            QTRY_COMPARE_WITH_TIMEOUT(prompts.count(ScriptedPrompter::Question), 1, 20000);
            QCOMPARE(prompts.shown.at(0).prompt,
                     QStringLiteral("ERROR Reading file (Delete?): ") + path);
            // The refill after No shows it again, asking nothing; the area is left cleared.
            QTRY_VERIFY_WITH_TIMEOUT(
                !rig.display.isPending() && rig.browser.pendingFolder().isEmpty(), 20000);
            QTRY_VERIFY(!rig.view->picture1()->isVisible());
            QCOMPARE(rig.pixelAt(2, bottom), background);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(rig.view->toolTip(),
                                      QStringLiteral("The picture is incomplete"), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(
                rig.notice,
                told.isEmpty() ? QString()
                               : QStringLiteral("The picture %1 is still being written.").arg(path),
                20000);
            // The rows the cut file still holds; below them nothing of the picture before.
            QTRY_VERIFY(!near(rig.pixelAt(2, bottom), Qt::green));
        }
        QCOMPARE(prompts.shown.size(), told == QLatin1String("asked") ? 1 : 0);
    }

    // The bars keep their values between pictures and the next picture is shown where they
    // say: a thumb never sits where the picture is not, and the keys move it at once.
    void scrollValuesAreKeptAndThePictureFollowsThem_data()
    {
        QTest::addColumn<int>("nextHeight");
        QTest::addColumn<int>("value");
        QTest::newRow("a shorter picture: clamped to its bottom") << 400 << 600;
        QTest::newRow("a longer overhang: the same place") << 700 << 300;
        QTest::newRow("at the top: one pixel in") << 700 << 0;
    }
    void scrollValuesAreKeptAndThePictureFollowsThem()
    {
        QFETCH(int, nextHeight);
        QFETCH(int, value);
        Rig rig(false);
        rig.put(QStringLiteral("a.bmp"), solid(40, 900, Qt::green));
        rig.put(QStringLiteral("b.bmp"), solid(40, nextHeight, Qt::green));
        rig.open();
        rig.select(0);
        QVERIFY(rig.v->isVisible() && !rig.h->isVisible()); // narrow but tall
        rig.v->setValue(value);
        QCOMPARE(rig.view->picture1()->top(), value ? -double(value) : 1.0);
        rig.select(1);
        QTRY_COMPARE(rig.v->maximum(), nextHeight - rig.view->innerSize().height());
        QCOMPARE(rig.v->value(), qMin(value, rig.v->maximum()));
        QCOMPARE(rig.view->picture1()->top(), value ? -double(rig.v->value()) : 1.0);
        QTest::keyClick(rig.v, value ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(rig.view->picture1()->top(), -double(rig.v->value()));
    }

    // A picture larger than the area both ways, panned from (100, 100) by a wheel over it or by
    // keys on a bar that has the focus.
    void wheelAndKeysPan_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("key"); // 0: a wheel turn of angle
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("moved"); // of the bars' values; page: 1000 for a page step
        const int notch = 3 * 16;          // three lines a notch, 16 pixels a line
        QTest::newRow("wheel down over the picture")
            << "picture" << 0 << QPoint(0, -120) << 0 << QPoint(0, notch);
        QTest::newRow("wheel up over the viewing area")
            << "area" << 0 << QPoint(0, 120) << 0 << QPoint(0, -notch);
        QTest::newRow("Shift and the wheel: sideways")
            << "picture" << 0 << QPoint(0, -120) << int(Qt::ShiftModifier) << QPoint(notch, 0);
        QTest::newRow("a sideways wheel")
            << "picture" << 0 << QPoint(-120, 0) << 0 << QPoint(notch, 0);
        QTest::newRow("Down on the vertical bar")
            << "vertical" << int(Qt::Key_Down) << QPoint() << 0 << QPoint(0, 16);
        QTest::newRow("Page Down on the vertical bar")
            << "vertical" << int(Qt::Key_PageDown) << QPoint() << 0 << QPoint(0, 1000);
        QTest::newRow("Left on the horizontal bar")
            << "horizontal" << int(Qt::Key_Left) << QPoint() << 0 << QPoint(-16, 0);
        QTest::newRow("Home on the horizontal bar")
            << "horizontal" << int(Qt::Key_Home) << QPoint() << 0 << QPoint(-100, 0);
        QTest::newRow("Page Down on the horizontal bar: to the right")
            << "horizontal" << int(Qt::Key_PageDown) << QPoint() << 0 << QPoint(1000, 0);
        QTest::newRow("Page Up on the horizontal bar: to the left")
            << "horizontal" << int(Qt::Key_PageUp) << QPoint() << 0 << QPoint(-100, 0);
        QTest::newRow("Right on the horizontal bar")
            << "horizontal" << int(Qt::Key_Right) << QPoint() << 0 << QPoint(16, 0);
    }
    void wheelAndKeysPan()
    {
        QFETCH(QString, where);
        QFETCH(int, key);
        QFETCH(QPoint, angle);
        QFETCH(int, modifiers);
        QFETCH(QPoint, moved);
        Rig rig(false);
        rig.put(QStringLiteral("a.bmp"), solid(900, 900, Qt::green));
        rig.open();
        rig.select(0);
        QVERIFY(rig.h->isVisible() && rig.v->isVisible());
        rig.h->setValue(100);
        rig.v->setValue(100);
        if (moved.y() == 1000)
            moved.setY(rig.v->pageStep());
        if (moved.x() == 1000)
            moved.setX(rig.h->pageStep());
        if (key != 0) {
            QScrollBar *bar = where == QLatin1String("vertical") ? rig.v : rig.h;
            QTest::keyClick(bar, Qt::Key(key));
        } else {
            QWidget *over = where == QLatin1String("picture")
                                ? static_cast<QWidget *>(rig.view->picture1())
                                : rig.view;
            QWheelEvent wheel(QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)), QPoint(), angle,
                              Qt::NoButton, Qt::KeyboardModifiers::fromInt(modifiers),
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(over, &wheel);
        }
        QCOMPARE(QPoint(rig.h->value(), rig.v->value()) - QPoint(100, 100), moved);
        QCOMPARE(rig.view->picture1()->left(), -double(rig.h->value()));
        QCOMPARE(rig.view->picture1()->top(), -double(rig.v->value()));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("scaled");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("missing file") << "missing" << true << "File not found: %1";
        QTest::newRow("too large for memory")
            << "bomb" << true
            << "7\n\nNot enough memory to show %1: its header claims far more pixels than its "
               "file can hold.";
        QTest::newRow("too large for memory at actual size leaves the area cleared")
            << "progressive bomb" << false
            << "7\n\nNot enough memory to show %1: it needs 25216 MB, more than the 269 MB one "
               "picture may use.";
    }
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(bool, scaled);
        QFETCH(QString, prompt);
        Rig rig(scaled);
        const QString name = QStringLiteral("a.jpg");
        rig.box.write(name, encode(gradient(64, 64), "jpg"));
        rig.open();
        if (kind == QLatin1String("missing"))
            QFile::remove(rig.box.file(name));
        else
            rig.box.write(name, withClaimedSize(encode(gradient(64, 64), "jpg", 90,
                                                       kind.startsWith(QLatin1String("prog"))),
                                                60000, 60000));
        rig.select(0);
        QVERIFY(!rig.view->picture1()->isVisible());
        QCOMPARE(rig.pixelAt(1, 1), background);

        QCOMPARE(rig.services.prompts.shown.size(), 1);
        const ScriptedPrompter::Shown shown = rig.services.prompts.shown.first();
        QCOMPARE(shown.kind, ScriptedPrompter::Critical);
        QCOMPARE(shown.prompt, prompt.replace(QStringLiteral("%1"), rig.pathOf(name)));
        QCOMPARE(shown.title, QStringLiteral("ERROR!"));
        QCOMPARE(rig.browser.list()->listIndex(), -1);
        QCOMPARE(rig.services.ends.ends, 0); // the program goes on
        QVERIFY(rig.label->text().isEmpty());
        QVERIFY(!rig.display.shownFile());
    }

    void unreadableAsksOnceAfterNo()
    {
        Rig rig(true);
        rig.box.write(QStringLiteral("a.jpg"), {});
        rig.put(QStringLiteral("b.bmp"), solid(10, 10, Qt::red));
        rig.open();
        rig.select(0);

        ScriptedPrompter &prompts = rig.services.prompts;
        QCOMPARE(prompts.count(ScriptedPrompter::Question), 1);
        QCOMPARE(prompts.shown.first().prompt,
                 QStringLiteral("ERROR Reading file (Delete?): ") + rig.pathOf("a.jpg"));
        QCOMPARE(prompts.shown.first().title, QStringLiteral("DELETE FILE"));
        QVERIFY(QFile::exists(rig.box.file("a.jpg")));
        QCOMPARE(rig.browser.list()->listIndex(), 0); // re-selected by the refill
        QVERIFY(!rig.view->image1()->isVisible());
        QCOMPARE(rig.browser.curslide(), 1);

        // A later, separate display of the same file asks again.
        rig.select(1);
        rig.select(0);
        QCOMPARE(prompts.count(ScriptedPrompter::Question), 2);
    }

    void unreadableDeletedOnYesThenTheNextOneAsks()
    {
        Rig rig(true);
        rig.box.write(QStringLiteral("a.jpg"), {});
        rig.box.write(QStringLiteral("c.jpg"), QByteArrayLiteral("not a picture"));
        rig.open();
        rig.services.prompts.answers = {true, false};
        rig.select(0);

        const ScriptedPrompter &prompts = rig.services.prompts;
        QCOMPARE(prompts.count(ScriptedPrompter::Question), 2);
        QCOMPARE(prompts.shown.at(1).prompt,
                 QStringLiteral("ERROR Reading file (Delete?): ") + rig.pathOf("c.jpg"));
        QVERIFY(!QFile::exists(rig.box.file("a.jpg")));
        QVERIFY(QFile::exists(rig.box.file("c.jpg")));
        QCOMPARE(rig.names(), QStringList{"c.jpg"});
    }

    // A copy still coming in (Auto Refresh off: the kernel tells that it is open for writing, or
    // where no lease tells, the file changed within the last minute) is not asked about: it is
    // said to be written and shown once its writer closes it (or it changes). A cut picture
    // nobody writes is shown as far as it goes, at once; a bad one where no lease tells is asked
    // about once it has kept still for a minute.
    void pictureBeingWrittenIsShownOnceComplete_data()
    {
        QTest::addColumn<int>("percent"); // of the picture written before the pause
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("leases");
        QTest::addColumn<bool>("keptStill"); // the writer never comes back, a minute passes
        QTest::newRow("the first 300 bytes of a copy, no picture yet")
            << 0 << true << true << false;
        QTest::newRow("half a copy, decoding with its lower half grey")
            << 50 << true << true << false;
        QTest::newRow("half a picture that nobody writes") << 50 << false << true << false;
        QTest::newRow("300 bytes of a copy behind a mount, then the rest")
            << 0 << true << false << false;
        QTest::newRow("300 bytes behind a mount, still for a minute: asked")
            << 0 << true << false << true;
    }
    void pictureBeingWrittenIsShownOnceComplete()
    {
        QFETCH(int, percent);
        QFETCH(bool, written);
        QFETCH(bool, leases);
        QFETCH(bool, keptStill);
        ScopedWriterFacts facts(leases);
        Rig rig(true);
        const QByteArray whole = encode(gradient(300, 200), "jpg");
        const qsizetype first = percent ? whole.size() * percent / 100 : 300;
        QFile copy(rig.box.file(QStringLiteral("a.jpg")));
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(whole.left(first)) == first);
        QVERIFY(copy.flush());
        if (!written)
            copy.close();
        rig.open();
        rig.select(0);
        // The writer pauses: what is shown meanwhile, once the look and the decode have come.
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->toolTip().isEmpty(), percent == 0, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.notice,
                                  written ? QStringLiteral("The picture %1 is still being written.")
                                                .arg(rig.pathOf(QStringLiteral("a.jpg")))
                                          : QString(),
                                  10000);
        QVERIFY(rig.services.prompts.shown.isEmpty());
        if (!written)
            return;
        if (keptStill) {
            facts.ahead = 61;
            const ScriptedPrompter &prompts = rig.services.prompts;
            QTRY_COMPARE_WITH_TIMEOUT(prompts.count(ScriptedPrompter::Question), 1, 10000);
            QCOMPARE(prompts.shown.at(0).prompt, QStringLiteral("ERROR Reading file (Delete?): ") +
                                                     rig.pathOf(QStringLiteral("a.jpg")));
            return;
        }
        QVERIFY(copy.write(whole.mid(first)) == whole.size() - first);
        copy.close();
        QTRY_VERIFY(rig.notice.isEmpty());
        QTRY_VERIFY(rig.view->toolTip().isEmpty() && !rig.display.isPending());
        QCOMPARE(rig.view->image1()->picture(),
                 PictureLoader::load(QFile::encodeName(rig.box.file(QStringLiteral("a.jpg"))),
                                     rig.view->innerSize())
                     .image);
        QVERIFY(rig.services.prompts.shown.isEmpty());
    }

    void nothingSelectedAsksNothing()
    {
        Rig rig(false);
        rig.put(QStringLiteral("a.bmp"), solid(10, 10, Qt::red));
        rig.open();
        QSignalSpy mode(&rig.display, &PictureDisplay::scaledPicsChanged);
        rig.display.toggleScaleToFit();
        QCOMPARE(rig.display.scaledpics(), true);
        rig.display.toggleScaleToFit();
        QCOMPARE(rig.display.scaledpics(), false);
        QCOMPARE(mode.count(), 2);
        QCOMPARE(mode.at(0).at(0).toBool(), true);
        QCOMPARE(mode.at(1).at(0).toBool(), false);
        QVERIFY(rig.services.prompts.shown.isEmpty());
        QVERIFY(rig.label->text().isEmpty());
        QVERIFY(!rig.view->image1()->isVisible() && !rig.view->picture1()->isVisible());
        QVERIFY(!rig.display.shownFile());
    }

    // A picture with transparent parts shows the window colour there, in both modes, never the
    // picture shown before (the displays do not clear what is under them).
    void transparentPartsShowTheWindowColour()
    {
        QImage disc(40, 30, QImage::Format_ARGB32);
        disc.fill(Qt::transparent);
        disc.setPixelColor(20, 15, Qt::black);
        for (bool scaled : {true, false}) {
            Rig rig(scaled);
            QWidget *shown = scaled ? static_cast<QWidget *>(rig.view->image1())
                                    : static_cast<QWidget *>(rig.view->picture1());
            scaled ? rig.view->image1()->setPicture(disc) : rig.view->picture1()->setPicture(disc);
            QPixmap screen(shown->size());
            screen.fill(Qt::red); // what an earlier picture left on the screen
            shown->render(&screen, QPoint(), QRegion(), QWidget::DrawChildren);
            QCOMPARE(screen.toImage().pixelColor(1, 1), shown->palette().window().color());
        }
    }

    void switchingModesRewritesOnlyInScaleToFit()
    {
        Rig rig(true);
        rig.box.write(QStringLiteral("a.jpg"), encode(gradient(800, 600), "jpg"));
        rig.open();
        rig.select(0);
        const QString scaledText = rig.status1;
        QVERIFY(scaledText.endsWith(QStringLiteral("15875x21167   ")));
        // The shown file is held: deleted from disk, it still prints at its own size.
        QVERIFY(QFile::remove(rig.box.file("a.jpg")));
        QCOMPARE(rig.display.shownFile()->fullResolutionReader()().image.size(), QSize(800, 600));
        rig.box.write(QStringLiteral("a.jpg"), encode(gradient(800, 600), "jpg"));
        rig.display.toggleScaleToFit();
        QVERIFY(rig.view->picture1()->isVisible());
        QTRY_VERIFY(!rig.display.isPending());
        QCOMPARE(rig.status1, scaledText);
        QCOMPARE(rig.display.shownFile()->fullResolutionReader()().image.size(), QSize(800, 600));
    }

    void photosStandUpright_data()
    {
        // The stored picture's quadrants (top left, top right, bottom left, bottom right) for
        // each orientation tag; upright, every one is red, green over blue, white, 64x32.
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QList<QColor>>("stored");
        const QColor r(Qt::red), g(Qt::green), b(Qt::blue), w(Qt::white);
        QTest::newRow("1 as stored") << 1 << QList<QColor>{r, g, b, w};
        QTest::newRow("2 mirrored left to right") << 2 << QList<QColor>{g, r, w, b};
        QTest::newRow("3 turned half round") << 3 << QList<QColor>{w, b, g, r};
        QTest::newRow("4 mirrored top to bottom") << 4 << QList<QColor>{b, w, r, g};
        QTest::newRow("5 mirrored on the main diagonal") << 5 << QList<QColor>{r, b, g, w};
        QTest::newRow("6 to be turned clockwise") << 6 << QList<QColor>{g, w, r, b};
        QTest::newRow("7 mirrored on the other diagonal") << 7 << QList<QColor>{w, g, b, r};
        QTest::newRow("8 to be turned counter-clockwise") << 8 << QList<QColor>{b, r, w, g};
    }
    // A photo tagged with its orientation stands upright fitted, at its own size (size, place),
    // in status panel 1 and in the picture handed to printing.
    void photosStandUpright()
    {
        QFETCH(int, orientation);
        QFETCH(QList<QColor>, stored);
        const QList<QColor> upright{Qt::red, Qt::green, Qt::blue, Qt::white};
        const QSize size = orientation >= 5 ? QSize(32, 64) : QSize(64, 32);
        const auto standsUpright = [&](const QImage &image, const QPoint &origin, const QSize &s) {
            for (int i = 0; i < 4; ++i) {
                const QPoint at = origin + QPoint((1 + 2 * (i % 2)) * s.width() / 4,
                                                  (1 + 2 * (i / 2)) * s.height() / 4);
                if (!near(image.pixelColor(at), upright[i]))
                    return false;
            }
            return true;
        };
        Rig rig(true);
        rig.box.write(
            QStringLiteral("a.jpg"),
            withOrientation(encode(quadrants(size.width(), size.height(), stored), "jpg", 100),
                            orientation));
        rig.open();
        rig.select(0);
        const QSize inner = rig.view->innerSize();
        QVERIFY(standsUpright(rig.view->grab().toImage(), rig.view->innerOrigin(), inner));
        QCOMPARE(rig.status1, sizeText(inner.height(), inner.width(), pixelsToHimetric(32),
                                       pixelsToHimetric(64)));
        QVERIFY(rig.display.shownFile());
        const QImage printed = rig.display.shownFile()->fullResolutionReader()().image;
        QCOMPARE(printed.size(), QSize(64, 32));
        QVERIFY(standsUpright(printed, QPoint(), printed.size()));

        rig.display.toggleScaleToFit();
        QTRY_VERIFY(!rig.display.isPending());
        const QImage held = rig.view->picture1()->picture();
        QCOMPARE(held.size(), QSize(64, 32));
        QVERIFY(standsUpright(held, QPoint(), held.size()));
        QCOMPARE(rig.view->picture1()->left(), (inner.width() - 64) / 2.0);
        QCOMPARE(rig.view->picture1()->top(), (inner.height() - 32) / 2.0);
        QVERIFY(rig.services.prompts.shown.isEmpty());
    }

    // Keys faster than decodes: every entry still writes the label and panel 1 in order, the
    // window's thread never waits on a decode without a bound, and the last one is shown once
    // decoded; a fault found only then is told then. Keys faster than the files' storage: each
    // entry writes its label and says it is being read, and only the last one goes on.
    void slowDecodesNeverHoldTheWindow_data()
    {
        QTest::addColumn<bool>("lastIsDamaged");
        QTest::addColumn<int>("lookupMs");
        QTest::newRow("good pictures") << false << 0;
        QTest::newRow("the last one's data is damaged") << true << 0;
        QTest::newRow("files slow to open") << false << 300;
    }
    void slowDecodesNeverHoldTheWindow()
    {
        QFETCH(bool, lastIsDamaged);
        QFETCH(int, lookupMs);
        Rig rig(true);
        // Files large enough to take longer to decode than a key repeats.
        const QStringList names{"a.bmp", "b.bmp", "c.bmp", "d.jpg"};
        for (const QString &name : names.mid(0, 3))
            rig.put(name, gradient(620, 600));
        QByteArray last = encode(gradient(620, 600), "jpg");
        if (lastIsDamaged) {
            // Cut right after the scan header: the header is whole, no picture data follows.
            const qsizetype scan = last.indexOf("\xFF\xDA");
            last.truncate(scan + 2 + ((uchar(last[scan + 2]) << 8) | uchar(last[scan + 3])));
        }
        rig.box.write(names.last(), last);
        HeldDecoder held;
        rig.display.setDecoder(held.decoder());
        rig.open();
        const SlowFiles slowed(rig.box.path(), lookupMs);
        QSignalSpy reading(rig.display.looks(), &PictureLooks::pending);
        QStringList labels;
        for (int i = 0; i < names.size(); ++i) {
            rig.browser.list()->setListIndex(i); // the held decode proves it did not wait
            QVERIFY(rig.display.isPending());
            labels << rig.label->text();
        }
        QCOMPARE(labels.size(), names.size());
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(labels[i], rig.pathOf(names[i]));
        const QString sizes =
            sizeText(rig.view->innerSize().height(), rig.view->innerSize().width(),
                     pixelsToHimetric(600), pixelsToHimetric(620));
        if (lookupMs) {
            QCOMPARE(reading.size(), 2 * names.size() - 1); // each one told, then taken back
            QCOMPARE(reading.last().at(0).toString(), rig.pathOf(names.last()));
            QTRY_COMPARE(reading.last().at(0).toString(), QString());
            QTRY_COMPARE(rig.statusWritten.size(), 1); // the earlier answers were dropped
        }
        QCOMPARE(rig.statusWritten, QStringList(lookupMs ? 1 : names.size(), sizes));
        QVERIFY(rig.services.prompts.shown.isEmpty());
        QVERIFY(QApplication::overrideCursor()); // busy while the picture is awaited
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

        held.release();
        QTRY_VERIFY(!rig.display.isPending());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        if (lastIsDamaged) {
            QCOMPARE(rig.services.prompts.count(ScriptedPrompter::Question), 1);
            QCOMPARE(rig.services.prompts.shown.first().prompt,
                     QStringLiteral("ERROR Reading file (Delete?): ") + rig.pathOf(names.last()));
        } else {
            QVERIFY(rig.services.prompts.shown.isEmpty());
            QCOMPARE(rig.display.shownFile()->fullResolutionReader()().image.size(),
                     QSize(620, 600));
            QCOMPARE(rig.view->image1()->picture(),
                     PictureLoader::load(QFile::encodeName(rig.pathOf(names.last())),
                                         rig.view->innerSize())
                         .image);
        }
    }

    // Stepping on and back shows again what was just shown without decoding it again.
    void steppingBackDecodesNothingTwice()
    {
        Rig rig(true);
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            rig.box.write(QString::fromLatin1(name), encode(gradient(640, 480), "jpg"));
        auto decodes = std::make_shared<std::atomic<int>>(0);
        rig.display.setDecoder(countingDecoder(decodes));
        rig.open();
        for (int index : {0, 1, 2, 1, 0}) {
            rig.select(index);
            QVERIFY(!rig.display.isPending());
            QVERIFY(rig.display.cache().waitIdle());
        }
        // Each picture once, and the one ahead of the last step.
        QCOMPARE(decodes->load(), 4);
    }

    // A grown viewing area gets a picture decoded for its new size, without a new display.
    void growingTheAreaSharpensThePicture()
    {
        Rig rig(true);
        rig.box.write(QStringLiteral("a.jpg"), encode(gradient(1600, 1200), "jpg"));
        rig.open();
        rig.select(0);
        const QSize small = rig.view->image1()->picture().size();
        QVERIFY(small.width() < 1000);
        const QString status = rig.status1;

        rig.view->resize(1002, 702);
        rig.display.onContainerResized();
        const QSize area = rig.view->innerSize();
        QCOMPARE(rig.view->image1()->size(), area); // stretched at once
        QTRY_VERIFY(rig.view->image1()->picture().width() >= area.width() &&
                    rig.view->image1()->picture().height() >= area.height());
        QCOMPARE(rig.status1, status);
        QCOMPARE(rig.label->text(), rig.pathOf(QStringLiteral("a.jpg")));
    }

    // The real window: a decode that never ends holds neither the window nor its end.
    void windowNeverWaitsOnAStuckDecode()
    {
        Sandbox box;
        box.write(QStringLiteral("a.jpg"), encode(gradient(64, 64), "jpg"));
        box.write(QStringLiteral("b.jpg"), encode(gradient(64, 64), "jpg"));
        HeldDecoder held;
        auto session = std::make_unique<WindowSession>();
        MainWindow &w = session->window;
        QVERIFY(session->load());
        w.display()->setDecoder(held.decoder());
        QVERIFY(session->choose(box.path()));
        // The held decode ends only when released below: returning at all proves no wait.
        w.browser()->list()->setListIndex(1);
        QVERIFY(w.display()->isPending());

        session->trigger("exit");
        session.reset();
        QVERIFY(held.gate->started.load() >= 1);
        held.release();
    }

    // The real window's slide show: a picture it cannot show is told once and passed over.
    void slideShowGoesOnAfterAPictureItCannotShow()
    {
        Sandbox box;
        const QByteArray good = encode(gradient(64, 64), "jpg");
        box.write(QStringLiteral("a.jpg"), good);
        box.write(QStringLiteral("b.jpg"), withClaimedSize(good, 60000, 60000)); // 7
        box.write(QStringLiteral("c.jpg"), good);
        WindowSession session;
        ScopedServices &services = session.services;
        MainWindow &w = session.window;
        QVERIFY(session.load());
        QVERIFY(session.choose(box.path()));
        w.browser()->list()->setListIndex(0);
        w.slideShow()->setIntervalAsker([](int &interval) {
            interval = 1;
            return true;
        });
        w.slideShow()->toggleslideshow();
        QList<int> shown;
        for (int tick = 0; tick < 5; ++tick) {
            w.slideShow()->slidetimer_Timer();
            // Each step's outcome, which a busy machine may bring after the step has returned.
            QTRY_VERIFY_WITH_TIMEOUT(!w.display()->isPending(), 20000);
            shown << w.browser()->list()->listIndex();
        }
        QCOMPARE(shown, (QList<int>{-1, 2, 0, 2, 0}));
        QCOMPARE(services.prompts.shown.size(), 1);
        QVERIFY(services.prompts.shown.first().prompt.startsWith(QLatin1String("7")));
    }

    void deleteSelectsTheSamePlace_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("lookupMs");
        const QStringList abc{"a.bmp", "b.bmp", "c.bmp"};
        QTest::newRow("first") << abc << 0 << QStringList{"b.bmp", "c.bmp"} << 0 << 0;
        QTest::newRow("middle") << abc << 1 << QStringList{"a.bmp", "c.bmp"} << 1 << 0;
        QTest::newRow("last selects the one before")
            << abc << 2 << QStringList{"a.bmp", "b.bmp"} << 1 << 0;
        QTest::newRow("only leaves an empty list")
            << QStringList{"a.bmp"} << 0 << QStringList{} << -1 << 0;
        QTest::newRow("middle, in a folder slow to answer: the list follows the answer")
            << abc << 1 << QStringList{"a.bmp", "c.bmp"} << 1 << 300;
    }
    void deleteSelectsTheSamePlace()
    {
        QFETCH(QStringList, files);
        QFETCH(int, selected);
        QFETCH(QStringList, left);
        QFETCH(int, after);
        QFETCH(int, lookupMs);
        Rig rig(true);
        for (const QString &f : files)
            rig.put(f, solid(10, 10, Qt::red));
        rig.open();
        rig.select(selected);
        const QString victim = files.at(selected);
        rig.services.prompts.answers = {true};
        {
            const SlowFiles slowed(rig.box.path(), lookupMs);
            rig.session.action(Commands::Delete)->trigger();
            if (lookupMs) {
                QCOMPARE(rig.names(), files); // nothing told before the answer
                QCOMPARE(rig.services.prompts.shown.size(), 1);
                QTRY_COMPARE_WITH_TIMEOUT(rig.names(), left, 10000);
            }
        }

        QCOMPARE(rig.services.prompts.shown.size(), 1);
        QCOMPARE(rig.services.prompts.shown.first().prompt,
                 QStringLiteral("Delete file: ") + rig.pathOf(victim));
        QCOMPARE(rig.services.prompts.shown.first().title, QStringLiteral("DELETE FILE"));
        QVERIFY(!QFile::exists(rig.box.file(victim)));
        QCOMPARE(rig.names(), left);
        QCOMPARE(rig.browser.list()->listIndex(), after);
        if (after >= 0)
            QCOMPARE(rig.label->text(), rig.pathOf(left.at(after)));
    }

    // One delete at a time: a Delete while one is under way asks nothing, and its outcome is told
    // once, as what happened; one that never answers is said, once, not to answer.
    void deleteUnderWayIsAskedOnce_data()
    {
        QTest::addColumn<int>("lookupMs");
        QTest::addColumn<bool>("byDate");
        QTest::addColumn<QString>("secondWhile");
        QTest::newRow("again while the delete is to answer") << 300 << false << "deleting";
        QTest::newRow("again once deleted, the list still to follow") << 1000 << true << "listing";
        QTest::newRow("a folder that never answers") << -1 << false << "silent";
    }
    void deleteUnderWayIsAskedOnce()
    {
        QFETCH(int, lookupMs);
        QFETCH(bool, byDate);
        QFETCH(QString, secondWhile);
        Rig rig(true);
        for (const char *f : {"a.bmp", "b.bmp", "c.bmp"})
            rig.put(f, solid(10, 10, Qt::red));
        if (byDate)
            rig.browser.setSortType(QStringLiteral("Date"));
        rig.open();
        rig.browser.list()->setListIndex(1);
        const QString victim = rig.pathOf(rig.names().at(1));
        rig.services.prompts.answers = {true, true};
        const SlowFiles slowed(rig.box.path(), lookupMs);
        rig.session.action(Commands::Delete)->trigger();
        QCOMPARE(rig.notice, QStringLiteral("Deleting %1…").arg(victim));
        if (secondWhile == QLatin1String("silent"))
            QTRY_COMPARE_WITH_TIMEOUT(rig.notice,
                                      QStringLiteral("The folder %1 does not answer; %2 is still "
                                                     "being deleted.")
                                          .arg(rig.box.path(), victim),
                                      20000);
        if (secondWhile == QLatin1String("listing")) {
            QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(victim), 20000);
            if (!rig.names().contains(QFileInfo(victim).fileName()))
                QSKIP("the list followed before the second Delete could be given");
        }
        const QString said = rig.notice;
        rig.notice.clear();
        rig.session.action(Commands::Delete)->trigger();
        if (secondWhile != QLatin1String("listing"))
            QCOMPARE(rig.notice, said); // said again, nothing asked
        QCOMPARE(rig.services.prompts.shown.size(), 1);
        if (lookupMs < 0)
            return;
        QTRY_COMPARE_WITH_TIMEOUT(rig.names().size(), 2, 20000);
        QCOMPARE(rig.services.prompts.shown.size(), 1); // no failure told for the one deleted
        QVERIFY(!rig.names().contains(QFileInfo(victim).fileName()));
    }

    void deleteOnNoTouchesNothing()
    {
        Rig rig(true);
        rig.put(QStringLiteral("a.bmp"), solid(10, 10, Qt::red));
        rig.put(QStringLiteral("b.bmp"), solid(10, 10, Qt::red));
        rig.open();
        rig.select(1);
        rig.services.prompts.answers = {false};
        rig.session.action(Commands::Delete)->trigger();
        QCOMPARE(rig.services.prompts.shown.size(), 1);
        QCOMPARE(rig.names(), (QStringList{"a.bmp", "b.bmp"}));
        QCOMPARE(rig.browser.list()->listIndex(), 1);
    }

    void deleteWithNothingSelectedAsksNothing()
    {
        Rig rig(true);
        rig.put(QStringLiteral("a.bmp"), solid(10, 10, Qt::red));
        rig.open();
        rig.session.action(Commands::Delete)->trigger();
        QVERIFY(rig.services.prompts.shown.isEmpty());
        QCOMPARE(rig.names(), QStringList{"a.bmp"});
    }

    void failingDeleteSaysWhyAndRereads()
    {
        Rig rig(true);
        for (const char *f : {"a.bmp", "b.bmp", "c.bmp"})
            rig.put(f, solid(10, 10, Qt::red));
        rig.open();
        rig.select(1);
        QFile::remove(rig.box.file("b.bmp")); // gone behind our back
        rig.services.prompts.answers = {true};
        rig.session.action(Commands::Delete)->trigger();

        const ScriptedPrompter &prompts = rig.services.prompts;
        QCOMPARE(prompts.shown.size(), 2);
        QCOMPARE(prompts.shown.at(1).kind, ScriptedPrompter::Critical);
        QCOMPARE(prompts.shown.at(1).prompt, QStringLiteral("Could not delete file: ") +
                                                 rig.pathOf("b.bmp") +
                                                 QStringLiteral(" (No such file or directory)"));
        QCOMPARE(rig.names(), (QStringList{"a.bmp", "c.bmp"}));
        QVERIFY(QFile::exists(rig.box.file("a.bmp")) && QFile::exists(rig.box.file("c.bmp")));
        QCOMPARE(rig.browser.list()->listIndex(), 1);
    }

    void escapeEndsTheRun_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("ends");
        for (const char *where : {"list", "viewing area", "picture"}) {
            QTest::addRow("Esc in the %s", where)
                << QString::fromLatin1(where) << int(Qt::Key_Escape) << 1;
            QTest::addRow("other key in the %s", where)
                << QString::fromLatin1(where) << int(Qt::Key_A) << 0;
        }
    }
    void escapeEndsTheRun()
    {
        QFETCH(QString, where);
        QFETCH(int, key);
        Rig rig(false);
        rig.put(QStringLiteral("a.bmp"), solid(10, 10, Qt::red));
        rig.open();
        rig.select(0);
        QWidget *target = where == QLatin1String("list") ? rig.session.window.pictureList()
                          : where == QLatin1String("viewing area")
                              ? static_cast<QWidget *>(rig.view)
                              : rig.view->picture1();
        QTest::keyClick(target, Qt::Key(key));
        QTEST(rig.services.ends.ends, "ends");
    }
};

QTEST_MAIN(TestPictureDisplay)
#include "test_picturedisplay.moc"
