// The link label: its property store, sizing, tool tip, the GoToURL event and failure report.

#include "info/handcursor.h"
#include "info/helppage.h"
#include "info/propertystore.h"
#include "info/urllink.h"
#include "recordingopener.h"
#include "testutils.h"

#include <QFontMetrics>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace vistrel;

class TestUrlLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void typeNameIsPublished();
    void newInstanceStartsAtDefaults();
    void defaultsStoreNothing();
    void roundTrip_data();
    void roundTrip();
    void settingsGroupRoundTrip();
    void unreadableStoredValueFallsBack_data();
    void unreadableStoredValueFallsBack();
    void storedBoolReadings_data();
    void storedBoolReadings();
    void textSizesLabel_data();
    void textSizesLabel();
    void toolTipFollowsFlagAndAddress();
    void propertiesMarkedChanged();
    void leftPressOpensStoredAddress();
    void otherButtonsDoNothing_data();
    void otherButtonsDoNothing();
    void cancelStopsEverything();
    void redirectOpensOnceKeepsStoredUrl();
    void failureIsReported_data();
    void failureIsReported();
    void cursorIsOwnHand();
    void realOpenerFollowsExitStatus_data();
    void realOpenerFollowsExitStatus();
    void helpPageFoundInstalledThenBuildTree();

private:
    static QLabel *label(URLLink &link)
    {
        return link.findChild<QLabel *>(QStringLiteral("lblURL"));
    }
};

void TestUrlLink::typeNameIsPublished()
{
    URLLink link;
    const QMetaObject *meta = link.metaObject();
    const int index = meta->indexOfClassInfo("TypeName");
    QVERIFY(index >= 0);
    QCOMPARE(QString::fromLatin1(meta->classInfo(index).value()), URLLink::typeName());
    QCOMPARE(URLLink::typeName(), QStringLiteral("Vistrel.URLLink"));
}

void TestUrlLink::newInstanceStartsAtDefaults()
{
    URLLink link;
    QCOMPARE(link.text(), QStringLiteral("Vistrel help page"));
    QVERIFY(link.url().startsWith(QStringLiteral("file:///")));
    QVERIFY(link.url().endsWith(QStringLiteral("/help.html")));
    QCOMPARE(link.showToolTip(), false);
    QCOMPARE(label(link)->toolTip(), QString());
}

void TestUrlLink::defaultsStoreNothing()
{
    URLLink link;
    MapPropertyStore store(QVariantMap{{QStringLiteral("Text"), QStringLiteral("stale")}});
    link.writeProperties(store);
    QVERIFY2(store.values().isEmpty(), qPrintable(store.values().keys().join(QLatin1Char(','))));
}

void TestUrlLink::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("tip");
    QTest::addColumn<QStringList>("storedKeys");

    QTest::newRow("only the caption changed") << QStringLiteral("Home") << URLLink::defaultUrl()
                                              << false << QStringList{QStringLiteral("Text")};
    QTest::newRow("only the tool tip on") << URLLink::defaultText() << URLLink::defaultUrl() << true
                                          << QStringList{QStringLiteral("ShowToolTip")};
    QTest::newRow("all three changed")
        << QStringLiteral("Site") << QStringLiteral("https://example.org/") << true
        << QStringList{QStringLiteral("ShowToolTip"), QStringLiteral("Text"),
                       QStringLiteral("URL")};
    QTest::newRow("empty caption is stored")
        << QString() << URLLink::defaultUrl() << false << QStringList{QStringLiteral("Text")};
}

void TestUrlLink::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QString, url);
    QFETCH(bool, tip);
    QFETCH(QStringList, storedKeys);

    URLLink original;
    original.setText(text);
    original.setUrl(url);
    original.setShowToolTip(tip);
    MapPropertyStore store;
    original.writeProperties(store);
    QCOMPARE(store.values().keys(), storedKeys);

    URLLink loaded;
    loaded.readProperties(store);
    QCOMPARE(loaded.text(), text);
    QCOMPARE(loaded.url(), url);
    QCOMPARE(loaded.showToolTip(), tip);
    QCOMPARE(label(loaded)->toolTip(), tip ? url : QString());
}

void TestUrlLink::settingsGroupRoundTrip()
{
    vistrel::test::TemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("design.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        SettingsPropertyStore store(settings, QStringLiteral("URLLink1"));
        URLLink link;
        link.setUrl(QStringLiteral("https://example.org/a"));
        link.setShowToolTip(true);
        link.writeProperties(store);
        QCOMPARE(settings.childGroups(), QStringList{QStringLiteral("URLLink1")});
        QVERIFY(!settings.contains(QStringLiteral("URLLink1/Text")));
    }
    // Read back from the file, where every value has become text.
    QSettings settings(file, QSettings::IniFormat);
    SettingsPropertyStore store(settings, QStringLiteral("URLLink1"));
    URLLink link;
    link.readProperties(store);
    QCOMPARE(link.url(), QStringLiteral("https://example.org/a"));
    QCOMPARE(link.showToolTip(), true);
    QCOMPARE(label(link)->toolTip(), QStringLiteral("https://example.org/a"));

    // Turning the tool tip off again removes the key rather than storing "false".
    link.setShowToolTip(false);
    link.writeProperties(store);
    QVERIFY(!settings.contains(QStringLiteral("URLLink1/ShowToolTip")));
}

void TestUrlLink::unreadableStoredValueFallsBack_data()
{
    QTest::addColumn<QVariantMap>("stored");

    const QString text = QStringLiteral("Text");
    const QString url = QStringLiteral("URL");
    const QString tip = QStringLiteral("ShowToolTip");
    QTest::newRow("tool tip flag is a word")
        << QVariantMap{{text, QStringLiteral("Mine")},
                       {url, QStringLiteral("https://example.org/")},
                       {tip, QStringLiteral("maybe")}};
    QTest::newRow("tool tip flag is a list")
        << QVariantMap{{text, QStringLiteral("Mine")},
                       {url, QStringLiteral("https://example.org/")},
                       {tip, QStringList{QStringLiteral("a"), QStringLiteral("b")}}};
    QTest::newRow("caption is a list")
        << QVariantMap{{text, QStringList{QStringLiteral("a"), QStringLiteral("b")}},
                       {url, QStringLiteral("https://example.org/")}};
    QTest::newRow("address is a list")
        << QVariantMap{{text, QStringLiteral("Mine")},
                       {url, QStringList{QStringLiteral("a"), QStringLiteral("b")}},
                       {tip, true}};
}

void TestUrlLink::unreadableStoredValueFallsBack()
{
    QFETCH(QVariantMap, stored);
    URLLink link;
    link.setText(QStringLiteral("before"));
    link.setShowToolTip(true);
    link.readProperties(MapPropertyStore(stored));
    QCOMPARE(link.text(), URLLink::defaultText());
    QCOMPARE(link.url(), URLLink::defaultUrl());
    QCOMPARE(link.showToolTip(), false);
    QCOMPARE(label(link)->toolTip(), QString());
}

void TestUrlLink::storedBoolReadings_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected"); // -1: cannot be read

    QTest::newRow("true as text") << QVariant(QStringLiteral("true")) << 1;
    QTest::newRow("False in capitals") << QVariant(QStringLiteral("False")) << 0;
    QTest::newRow("minus one as text") << QVariant(QStringLiteral("-1")) << 1;
    QTest::newRow("zero as text") << QVariant(QStringLiteral("0")) << 0;
    QTest::newRow("a Boolean") << QVariant(true) << 1;
    QTest::newRow("a number") << QVariant(0) << 0;
    QTest::newRow("empty text") << QVariant(QString()) << -1;
    QTest::newRow("yes is no Boolean") << QVariant(QStringLiteral("yes")) << -1;
}

void TestUrlLink::storedBoolReadings()
{
    QFETCH(QVariant, stored);
    QFETCH(int, expected);
    const std::optional<bool> flag = storedBool(stored);
    QCOMPARE(flag.has_value(), expected >= 0);
    if (flag)
        QCOMPARE(int(*flag), expected);
}

void TestUrlLink::textSizesLabel_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a caption") << QStringLiteral("Vistrel help page");
    QTest::newRow("a long caption") << QStringLiteral("A caption far wider than the link control");
    QTest::newRow("empty") << QString();
}

void TestUrlLink::textSizesLabel()
{
    QFETCH(QString, text);
    URLLink link;
    link.resize(40, 30);
    QLabel *l = label(link);
    l->move(17, 9);
    link.setText(text);
    const QFontMetrics metrics(l->font());
    QCOMPARE(l->geometry(), QRect(0, 0, metrics.horizontalAdvance(text), metrics.height()));
    QCOMPARE(l->text(), text);
    QCOMPARE(link.size(), QSize(40, 30)); // the control keeps its own size
    QVERIFY(l->font().underline());
}

void TestUrlLink::toolTipFollowsFlagAndAddress()
{
    URLLink link;
    link.setUrl(QStringLiteral("https://example.org/one"));
    QCOMPARE(label(link)->toolTip(), QString());
    link.setShowToolTip(true);
    QCOMPARE(label(link)->toolTip(), QStringLiteral("https://example.org/one"));
    link.setUrl(QStringLiteral("https://example.org/two"));
    QCOMPARE(label(link)->toolTip(), QStringLiteral("https://example.org/two"));
    link.setShowToolTip(false);
    QCOMPARE(label(link)->toolTip(), QString());
    link.setUrl(QStringLiteral("https://example.org/three"));
    QCOMPARE(label(link)->toolTip(), QString());
}

void TestUrlLink::propertiesMarkedChanged()
{
    URLLink link;
    QStringList marked;
    connect(&link, &URLLink::propertyChanged, this, [&](const QString &key) { marked << key; });
    link.setText(QStringLiteral("x"));
    link.setUrl(QStringLiteral("y"));
    link.setShowToolTip(true);
    QCOMPARE(marked, (QStringList{QStringLiteral("Text"), QStringLiteral("URL"),
                                  QStringLiteral("ShowToolTip")}));
}

void TestUrlLink::leftPressOpensStoredAddress()
{
    test::ScopedServices services;
    test::RecordingOpener opener;
    URLLink link;
    link.setUrl(QStringLiteral("https://example.org/"));
    int raised = 0;
    connect(&link, &URLLink::GoToURL, this, [&](QString &address, bool &cancel) {
        ++raised;
        QCOMPARE(address, QStringLiteral("https://example.org/"));
        QCOMPARE(cancel, false);
        QVERIFY(opener.opened.isEmpty()); // raised before the opening
    });
    QTest::mousePress(label(link), Qt::LeftButton);
    QCOMPARE(raised, 1);
    QCOMPARE(opener.opened, QStringList{QStringLiteral("https://example.org/")});
    QCOMPARE(opener.busyWhileOpening, QList<bool>{true});
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(services.prompts.shown.isEmpty());
}

void TestUrlLink::otherButtonsDoNothing_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::MouseButtons>("held");
    QTest::newRow("right button") << Qt::RightButton << Qt::MouseButtons();
    QTest::newRow("middle button") << Qt::MiddleButton << Qt::MouseButtons();
    QTest::newRow("right button while the left is held")
        << Qt::RightButton << Qt::MouseButtons(Qt::LeftButton);
}

void TestUrlLink::otherButtonsDoNothing()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::MouseButtons, held);
    test::ScopedServices services;
    test::RecordingOpener opener;
    URLLink link;
    int raised = 0;
    connect(&link, &URLLink::GoToURL, this, [&](QString &, bool &) { ++raised; });
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, label(link)->mapToGlobal(at), button,
                      held | button, Qt::NoModifier);
    QApplication::sendEvent(label(link), &press);
    QCOMPARE(raised, 0);
    QVERIFY(opener.opened.isEmpty());
}

void TestUrlLink::cancelStopsEverything()
{
    test::ScopedServices services;
    test::RecordingOpener opener;
    opener.answer = {false, QStringLiteral("nothing"), 31};
    URLLink link;
    connect(&link, &URLLink::GoToURL, this, [](QString &, bool &cancel) { cancel = true; });
    QTest::mousePress(label(link), Qt::LeftButton);
    QVERIFY(opener.opened.isEmpty());
    QVERIFY(services.prompts.shown.isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestUrlLink::redirectOpensOnceKeepsStoredUrl()
{
    test::ScopedServices services;
    test::RecordingOpener opener;
    URLLink link;
    link.setUrl(QStringLiteral("https://example.org/stored"));
    connect(
        &link, &URLLink::GoToURL, this,
        [](QString &address, bool &) { address = QStringLiteral("https://example.org/other"); },
        Qt::DirectConnection);
    QTest::mousePress(label(link), Qt::LeftButton);
    QCOMPARE(opener.opened, QStringList{QStringLiteral("https://example.org/other")});
    QCOMPARE(link.url(), QStringLiteral("https://example.org/stored"));
}

void TestUrlLink::failureIsReported_data()
{
    QTest::addColumn<bool>("redirect");
    QTest::addColumn<QString>("message");
    QTest::newRow("stored address")
        << false
        << QStringLiteral("Unable to load 'https://example.org/stored' : No program is set up "
                          "to open this address (Error 31)");
    QTest::newRow("address replaced by the host")
        << true
        << QStringLiteral("Unable to load 'mailto:x@example.org' : No program is set up "
                          "to open this address (Error 31)");
}

void TestUrlLink::failureIsReported()
{
    QFETCH(bool, redirect);
    QFETCH(QString, message);
    test::ScopedServices services;
    test::RecordingOpener opener;
    opener.answer = {false, QStringLiteral("No program is set up to open this address"), 31};
    URLLink link;
    link.setUrl(QStringLiteral("https://example.org/stored"));
    if (redirect)
        connect(&link, &URLLink::GoToURL, this,
                [](QString &address, bool &) { address = QStringLiteral("mailto:x@example.org"); });
    QTest::mousePress(label(link), Qt::LeftButton);
    QCOMPARE(services.prompts.shown.size(), 1);
    QCOMPARE(services.prompts.shown.first().kind, test::ScriptedPrompter::Information);
    QCOMPARE(services.prompts.shown.first().prompt, message);
    QCOMPARE(services.prompts.shown.first().title, QStringLiteral("Vistrel"));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

// The real opener runs the xdg-open found on PATH, here a script that ends as told.
void TestUrlLink::realOpenerFollowsExitStatus_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no xdg-open at all
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("says");
    QTest::newRow("a program took the address") << QByteArray("exit 0") << true << 0 << QString();
    QTest::newRow("no program for web pages: what to install")
        << QByteArray("exit 3") << false << urlNoHandler
        << QStringLiteral("Install a web browser (for example the package firefox-esr");
    QTest::newRow("the program it ran failed") << QByteArray("exit 4") << false << urlHandlerFailed
                                               << QStringLiteral("xdg-open ended with status 4");
    QTest::newRow("ends after the hourglass is gone: its status still decides")
        << QByteArray("sleep 4; exit 3") << false << urlNoHandler << QStringLiteral("browser");
    QTest::newRow("no xdg-open") << QByteArray() << false << urlNoHandler
                                 << QStringLiteral("Install the package xdg-utils");
}

void TestUrlLink::realOpenerFollowsExitStatus()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, opened);
    QFETCH(int, number);
    QFETCH(QString, says);
    test::TemporaryDir bin;
    if (!script.isEmpty()) {
        QFile program(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\n" + script + '\n');
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    std::optional<UrlOpener::Result> result;
    urlOpener().open(QStringLiteral("https://example.org/"),
                     [&result](const UrlOpener::Result &answer) { result = answer; });
    qputenv("PATH", path);
    // The program's answer comes through the event loop, never within the call (where no
    // program can be started, that is known at once).
    if (!script.isEmpty())
        QVERIFY2(!result, "the window's thread waited for the opener");
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
    QCOMPARE(result->opened, opened);
    QCOMPARE(result->number, number);
    QVERIFY2(result->description.contains(says), qPrintable(result->description));
}

void TestUrlLink::cursorIsOwnHand()
{
    URLLink link;
    const QCursor cursor = label(link)->cursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), QPoint(13, 5));
    const QImage image = cursor.pixmap().toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    // The fingertip is drawn just at the hot spot, the corners are see-through.
    QVERIFY(qAlpha(image.pixel(13, 6)) > 0);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(13, 1)), 0);
}

void TestUrlLink::helpPageFoundInstalledThenBuildTree()
{
    test::Sandbox box;
    const QString bin = box.mkdir(QStringLiteral("bin"));
    const QString installed = box.path() + QStringLiteral("/share/doc/vistrel/help.html");
    // Nothing there: the installed place, so a failure names the expected file.
    QCOMPARE(helppage::path(bin), installed);
    box.write(QStringLiteral("bin/help.html"), "<html/>");
    QCOMPARE(helppage::path(bin), bin + QStringLiteral("/help.html"));
    box.mkdir(QStringLiteral("share/doc/vistrel"));
    box.write(QStringLiteral("share/doc/vistrel/help.html"), "<html/>");
    QCOMPARE(helppage::path(bin), installed);
}

QTEST_MAIN(TestUrlLink)
#include "test_urllink.moc"
