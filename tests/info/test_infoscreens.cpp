// The splash and About screens: their texts and layout, the hand-over, and typed keys.

#include "app/accessibility.h"
#include "common/identity.h"
#include "common/units.h"
#include "info/aboutdialog.h"
#include "info/infolayout.h"
#include "info/infopalette.h"
#include "info/splashwindow.h"
#include "info/urllink.h"
#include "recordingopener.h"
#include "testutils.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace vistrel;

namespace {

// Stands in for the main window: notes what the splash looked like when it was shown.
class FakeMainWindow : public QWidget
{
public:
    QPointer<QWidget> splash;
    QStringList *events = nullptr;

protected:
    void showEvent(QShowEvent *event) override
    {
        events->append(splash && splash->isVisible() ? QStringLiteral("shown, splash visible")
                                                     : QStringLiteral("shown, splash gone"));
        QWidget::showEvent(event);
    }
};

} // namespace

class TestInfoScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void versionText_data();
    void versionText();
    void labelsFilledFromIdentity_data();
    void labelsFilledFromIdentity();
    void platformAndVersionShareRightEdge();
    void noCaption();
    void continueHandsOverInOrder();
    void keyOnSplashEndsRun_data();
    void keyOnSplashEndsRun();
    void modifierAloneIsNoTypedKey();
    void keyClosesAboutWhereverFocus_data();
    void keyClosesAboutWhereverFocus();
    void aboutContinueCloses();
    void linkOnScreenOpensUnchanged();
    void linkFromKeyboardAndScreenReader_data();
    void linkFromKeyboardAndScreenReader();
    void readableOnAnyTheme_data();
    void readableOnAnyTheme();
};

void TestInfoScreens::versionText_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("text");
    QTest::newRow("this program") << 1 << 0 << 10 << QStringLiteral("Version 1.0.10");
    QTest::newRow("trailing zero") << 2 << 5 << 0 << QStringLiteral("Version 2.5.0");
}

void TestInfoScreens::versionText()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, text);
    QCOMPARE(identity::versionText(major, minor, revision), text);
}

void TestInfoScreens::labelsFilledFromIdentity_data()
{
    QTest::addColumn<bool>("splash");
    QTest::newRow("splash") << true;
    QTest::newRow("About box") << false;
}

void TestInfoScreens::labelsFilledFromIdentity()
{
    QFETCH(bool, splash);
    std::unique_ptr<QWidget> window;
    InfoScreen s;
    if (splash) {
        auto *w = new SplashWindow({});
        s = w->screen();
        window.reset(w);
    } else {
        auto *w = new AboutDialog;
        s = w->screen();
        window.reset(w);
    }
    QCOMPARE(s.lblVersion->text(), QStringLiteral("Version %1.%2.%3")
                                       .arg(identity::major)
                                       .arg(identity::minor)
                                       .arg(identity::revision));
    QCOMPARE(s.lblProductName->text(), QStringLiteral("Vistrel"));
    QCOMPARE(s.lblCompanyProduct->text(), identity::companyName());
    QCOMPARE(s.lblCopyright->text(), identity::legalCopyright());
    QCOMPARE(s.lblCompany->text(), identity::companyName());
    QCOMPARE(s.lblPlatform->text(), QStringLiteral("32Bit"));
    QCOMPARE(s.btnCont->text(), QStringLiteral("Continue"));
    QCOMPARE(s.lblProductName->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QCOMPARE(s.lblProductName->font().pointSizeF(), 32.25);
    QVERIFY(!s.Image1->pixmap().isNull());
    QCOMPARE(s.Image1->pixmap().size(), QSize(300, 300));
    QVERIFY(!QAccessible::queryAccessibleInterface(s.Image1)->text(QAccessible::Name).isEmpty());
    QCOMPARE(s.link->text(), URLLink::defaultText());
    QCOMPARE(s.link->showToolTip(), false);
    QCOMPARE(window->size(), QSize(486, 236));
    // The splash's link lies on the window, the About box's inside the frame.
    QCOMPARE(s.link->parentWidget() == window.get(), splash);

    // No identity text is cut off, and no label runs into another or out of the frame.
    const QList<QLabel *> labels{s.lblCompanyProduct, s.lblProductName, s.lblPlatform,
                                 s.lblVersion,        s.lblCopyright,   s.lblCompany};
    for (QLabel *l : labels) {
        const QRect r = l->geometry();
        QVERIFY2(s.Frame1->rect().contains(r), qPrintable(l->objectName()));
        if (l->wordWrap())
            QVERIFY2(l->heightForWidth(r.width()) <= r.height(), qPrintable(l->objectName()));
        else
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= r.width(),
                     qPrintable(l->objectName()));
        for (QLabel *other : labels) {
            // The About box's own layout lets these two boxes touch; their texts do not.
            if ((l == s.lblCompanyProduct && other == s.lblProductName) ||
                (other == s.lblCompanyProduct && l == s.lblProductName))
                continue;
            QVERIFY2(other == l || !r.intersects(other->geometry()),
                     qPrintable(l->objectName() + QLatin1Char('/') + other->objectName()));
        }
    }
    QCOMPARE(s.lblPlatform->geometry().right(), s.lblVersion->geometry().right());
}

void TestInfoScreens::platformAndVersionShareRightEdge()
{
    for (const infolayout::ScreenLayout &l : {infolayout::splash(), infolayout::about()}) {
        QCOMPARE(units::toPixels(l.platform).right(), units::toPixels(l.version).right());
    }
}

void TestInfoScreens::noCaption()
{
    SplashWindow splash({});
    AboutDialog about;
    QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(about.isModal());
}

void TestInfoScreens::continueHandsOverInOrder()
{
    QStringList events;
    FakeMainWindow *mainWindow = nullptr;
    QPointer<SplashWindow> watch;
    auto *splash = new SplashWindow([&]() -> QWidget * {
        events << (watch && watch->isVisible() ? QStringLiteral("loading, splash visible")
                                               : QStringLiteral("loading, splash gone"));
        mainWindow = new FakeMainWindow;
        mainWindow->splash = watch;
        mainWindow->events = &events;
        return mainWindow;
    });
    watch = splash;
    splash->show();
    QVERIFY(QTest::qWaitForWindowExposed(splash));

    // Click inside a running event loop, as a user would: only there does the moment with
    // no window shown count as the last window closing, which would quit the application
    // before the queued exit code 7 is seen.
    QTimer::singleShot(0, splash, [&] {
        QTest::mouseClick(watch->screen().btnCont, Qt::LeftButton);
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(7); }, Qt::QueuedConnection);
    });
    QCOMPARE(QApplication::exec(), 7);
    QCOMPARE(events, (QStringList{QStringLiteral("loading, splash visible"),
                                  QStringLiteral("shown, splash gone")}));
    QVERIFY(mainWindow && mainWindow->isVisible());
    QTRY_VERIFY(watch.isNull());
    QVERIFY(QApplication::quitOnLastWindowClosed());
    delete mainWindow;
}

void TestInfoScreens::keyOnSplashEndsRun_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("focusOnButton");
    QTest::addColumn<int>("ends");
    QTest::addColumn<int>("loads");
    const int none = Qt::NoModifier;
    QTest::newRow("a letter, focus on Continue")
        << int(Qt::Key_A) << none << QStringLiteral("a") << true << 1 << 0;
    QTest::newRow("Escape, focus on Continue")
        << int(Qt::Key_Escape) << none << QStringLiteral("\x1b") << true << 1 << 0;
    QTest::newRow("Enter, focus on the window")
        << int(Qt::Key_Return) << none << QStringLiteral("\r") << false << 1 << 0;
    QTest::newRow("Space, focus on Continue: continues")
        << int(Qt::Key_Space) << none << QStringLiteral(" ") << true << 0 << 1;
    QTest::newRow("Enter, focus on Continue: continues")
        << int(Qt::Key_Return) << none << QStringLiteral("\r") << true << 0 << 1;
    QTest::newRow("Tab moves the focus")
        << int(Qt::Key_Tab) << none << QStringLiteral("\t") << true << 0 << 0;
    QTest::newRow("Alt+C is no typed key")
        << int(Qt::Key_C) << int(Qt::AltModifier) << QStringLiteral("c") << true << 0 << 0;
}

void TestInfoScreens::keyOnSplashEndsRun()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, focusOnButton);
    QFETCH(int, ends);
    QFETCH(int, loads);
    test::ScopedServices services;
    int loaded = 0;
    auto *splash = new SplashWindow([&]() -> QWidget * {
        ++loaded;
        return nullptr;
    });
    QPointer<SplashWindow> watch(splash);
    splash->show();
    QVERIFY(QTest::qWaitForWindowExposed(splash));
    QWidget *target = focusOnButton ? static_cast<QWidget *>(splash->screen().btnCont) : splash;
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QApplication::sendEvent(target, &press);
    QCOMPARE(services.ends.ends, ends);
    QCOMPARE(loaded, loads);
    if (ends + loads > 0)
        QTRY_VERIFY(watch.isNull());
    else
        delete splash;
}

void TestInfoScreens::modifierAloneIsNoTypedKey()
{
    test::ScopedServices services;
    SplashWindow splash({});
    splash.show();
    QTest::keyPress(splash.screen().btnCont, Qt::Key_Shift);
    QCOMPARE(services.ends.ends, 0);
    QVERIFY(splash.isVisible());
}

void TestInfoScreens::keyClosesAboutWhereverFocus_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("Escape on Continue")
        << QStringLiteral("btnCont") << int(Qt::Key_Escape) << QStringLiteral("\x1b");
    QTest::newRow("a letter on Continue")
        << QStringLiteral("btnCont") << int(Qt::Key_Q) << QStringLiteral("q");
    QTest::newRow("a letter on the link")
        << QStringLiteral("lblURL") << int(Qt::Key_Z) << QStringLiteral("z");
    QTest::newRow("Enter on the window")
        << QStringLiteral("frmAbout") << int(Qt::Key_Return) << QStringLiteral("\r");
}

void TestInfoScreens::keyClosesAboutWhereverFocus()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, text);
    AboutDialog about;
    QSignalSpy accepted(&about, &QDialog::accepted);
    QSignalSpy finished(&about, &QDialog::finished);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QWidget *target = focus == about.objectName() ? &about : about.findChild<QWidget *>(focus);
    QVERIFY(target);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(accepted.count(), 0); // a key is never taken as a click on Continue
    QVERIFY(!about.isVisible());
}

void TestInfoScreens::aboutContinueCloses()
{
    AboutDialog about;
    QSignalSpy finished(&about, &QDialog::finished);
    about.show();
    QTest::mouseClick(about.screen().btnCont, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!about.isVisible());
}

void TestInfoScreens::linkOnScreenOpensUnchanged()
{
    test::ScopedServices services;
    test::RecordingOpener opener;
    AboutDialog about;
    about.show();
    QLabel *label = about.screen().link->findChild<QLabel *>(QStringLiteral("lblURL"));
    QTest::mousePress(label, Qt::LeftButton);
    QCOMPARE(opener.opened, QStringList{URLLink::defaultUrl()});
    QVERIFY(about.isVisible());
}

void TestInfoScreens::linkFromKeyboardAndScreenReader_data()
{
    QTest::addColumn<int>("key"); // none: a screen reader's press action
    QTest::newRow("Tab to the link, then Enter") << int(Qt::Key_Return);
    QTest::newRow("Tab to the link, then Space") << int(Qt::Key_Space);
    QTest::newRow("a screen reader's press") << int(Qt::Key_unknown);
}

void TestInfoScreens::linkFromKeyboardAndScreenReader()
{
    QFETCH(int, key);
    test::ScopedServices services;
    test::RecordingOpener opener;
    installAccessibleInterfaces();
    SplashWindow splash({});
    splash.show();
    QVERIFY(QTest::qWaitForWindowActive(&splash));
    URLLink *link = splash.screen().link;
    if (key == Qt::Key_unknown) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(link);
        QCOMPARE(accessible->role(), QAccessible::Link);
        QCOMPARE(accessible->text(QAccessible::Name), URLLink::defaultText());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    } else {
        QTest::keyClick(splash.screen().btnCont, Qt::Key_Tab);
        QTRY_VERIFY(link->hasFocus());
        QTest::keyClick(link, Qt::Key(key));
    }
    QCOMPARE(opener.opened, QStringList{URLLink::defaultUrl()});
    QCOMPARE(services.ends.ends, 0);
    QVERIFY(splash.isVisible());
}

void TestInfoScreens::readableOnAnyTheme_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("highlight");
    QTest::addColumn<bool>("linkKeepsHighlight");
    QTest::newRow("light theme, dark highlight")
        << QColor(0xef, 0xef, 0xef) << QColor(Qt::black) << QColor(0x0b, 0x53, 0x94) << true;
    QTest::newRow("dark theme, light-blue highlight")
        << QColor(0x2a, 0x2e, 0x32) << QColor(0xfc, 0xfc, 0xfc) << QColor(0x3d, 0xae, 0xe9)
        << false;
    QTest::newRow("dark theme, white highlight")
        << QColor(0x24, 0x24, 0x24) << QColor(Qt::white) << QColor(Qt::white) << false;
}

void TestInfoScreens::readableOnAnyTheme()
{
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QFETCH(QColor, highlight);
    const QPalette saved = QApplication::palette();
    QPalette theme(text, window, window.lighter(), window.darker(), window, text, text, window,
                   window);
    theme.setColor(QPalette::Highlight, highlight);
    QApplication::setPalette(theme);
    for (const bool about : {false, true}) {
        std::unique_ptr<QWidget> screen;
        if (about)
            screen = std::make_unique<AboutDialog>();
        else
            screen = std::make_unique<SplashWindow>(nullptr);
        const QColor background = screen->palette().color(QPalette::Window);
        for (QLabel *label : screen->findChildren<QLabel *>()) {
            if (label->pixmap().isNull()) {
                const QColor ink = label->palette().color(QPalette::WindowText);
                QVERIFY2(infopalette::contrast(ink, background) >= 4.5,
                         qPrintable(label->objectName() + QLatin1Char(' ') + ink.name()));
            }
        }
        const QLabel *link = screen->findChild<QLabel *>(QStringLiteral("lblURL"));
        QTEST(link->palette().color(QPalette::WindowText) == highlight, "linkKeepsHighlight");
    }
    QApplication::setPalette(saved);
}

QTEST_MAIN(TestInfoScreens)
#include "test_infoscreens.moc"
