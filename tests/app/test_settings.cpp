// The nine stored values: their text form in a real INI file, the defaults, and what a stored
// text that is no valid value reads as.

#include "app/settings.h"
#include "asnobody.h"
#include "common/nativename.h"
#include "testutils.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;

namespace {

void writeIni(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray allKeys()
{
    return "[Settings]\n"
           "LastDir=/srv/photos\n"
           "SlideInterval=25\n"
           "MainLeft=-1500\n"
           "MainTop=45\n"
           "MainWidth=12000\n"
           "MainHeight=9900\n"
           "Toolbar1=1\n"
           "Toolbar2=0\n"
           "Toolbar3=0\n";
}

// The values of allKeys().
StoredSettings storedValues()
{
    StoredSettings s;
    s.lastDir = QStringLiteral("/srv/photos");
    s.slideInterval = 25;
    s.mainLeft = -1500;
    s.mainTop = 45;
    s.mainWidth = 12000;
    s.mainHeight = 9900;
    s.toolbar1 = 1;
    s.toolbar2 = 0;
    s.toolbar3 = 0;
    return s;
}

void compareSettings(const StoredSettings &actual, const StoredSettings &expected)
{
    QCOMPARE(actual.lastDir, expected.lastDir);
    QCOMPARE(actual.slideInterval, expected.slideInterval);
    QCOMPARE(actual.mainLeft, expected.mainLeft);
    QCOMPARE(actual.mainTop, expected.mainTop);
    QCOMPARE(actual.mainWidth, expected.mainWidth);
    QCOMPARE(actual.mainHeight, expected.mainHeight);
    QCOMPARE(actual.toolbar1, expected.toolbar1);
    QCOMPARE(actual.toolbar2, expected.toolbar2);
    QCOMPARE(actual.toolbar3, expected.toolbar3);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // The file is found without opening it, where QSettings has always kept it, so that stored
    // settings keep working.
    void userFileIsWhereQSettingsKeepsIt()
    {
        const QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vistrel"),
                              QStringLiteral("Vistrel"));
        QCOMPARE(userSettingsFile(), store.fileName());
    }

    // A home folder with a byte that is not UTF-8 is where the settings are saved, not a new
    // folder beside it named with U+FFFD.
    void homeFolderKeepsItsBytes()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", folder);
        const QString file = userSettingsFile();
        qputenv("HOME", home);
        QCOMPARE(writeSettings(file, storedValues()), QString());
        compareSettings(readSettings(file), storedValues());
        // The file is in the home folder itself, and only there: taking it and the folders
        // made for it away, by their bytes, leaves the home folder as it was.
        QByteArray made = toNative(file);
        QCOMPARE(made.left(folder.size() + 1), folder + '/');
        QCOMPARE(::unlink(made.constData()), 0);
        while ((made = made.left(made.lastIndexOf('/'))) != folder)
            QCOMPARE(::rmdir(made.constData()), 0);
        QCOMPARE(::rmdir(folder.constData()), 0);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("lastDir");
        QTest::addColumn<int>("interval");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<int>("toolbar");
        QTest::newRow("first-run values") << "/" << 10 << 3000.0 << 3000.0 << 1;
        QTest::newRow("negative position, pressed buttons")
            << "/srv/photos" << 25 << -1500.0 << -45.0 << 1;
        QTest::newRow("released buttons, largest interval")
            << "/home/u/Documents" << 32767 << 0.0 << 12345.0 << 0;
        QTest::newRow("folder with blanks, commas and non-ASCII text")
            << QStringLiteral("/srv/Fotos, 2024/\u00e9t\u00e9 = [x]; #1") << 1 << 15.0 << 30.0 << 0;
        QTest::newRow("fraction of a twip") << "/" << 0 << 1234.5 << -0.25 << 1;
        QTest::newRow("far off screen") << "/" << 0 << 2147483520.0 << -2147483648.0 << 1;
        QTest::newRow("folder name with bytes that are not UTF-8")
            << fromNative(QByteArray("/srv/caf\xe9/\xff\xfe x")) << 3 << 0.0 << 0.0 << 1;
    }
    void roundTrip()
    {
        QFETCH(QString, lastDir);
        QFETCH(int, interval);
        QFETCH(double, left);
        QFETCH(double, top);
        QFETCH(int, toolbar);
        vistrel::test::TemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Vistrel.ini"));
        StoredSettings s;
        s.lastDir = lastDir;
        s.slideInterval = interval;
        s.mainLeft = left;
        s.mainTop = top;
        s.mainWidth = 10500;
        s.mainHeight = 9000;
        s.toolbar1 = toolbar;
        s.toolbar2 = 1 - toolbar;
        s.toolbar3 = toolbar;
        QCOMPARE(writeSettings(path, s), QString());
        compareSettings(readSettings(path), s);
        QSettings again(path, QSettings::IniFormat);
        // Each value is kept as text under its key in the group "Settings".
        QCOMPARE(again.value(QStringLiteral("Settings/SlideInterval")).toString(),
                 QString::number(interval));
        QCOMPARE(again.value(QStringLiteral("Settings/Toolbar2")).toString(),
                 QString::number(1 - toolbar));
        QCOMPARE(again.childGroups(), QStringList{QStringLiteral("Settings")});
        again.beginGroup(QStringLiteral("Settings"));
        QCOMPARE(again.childKeys().size(), 9);
    }

    void storedText_data()
    {
        QTest::addColumn<QString>("lastDir");
        QTest::addColumn<double>("left");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("whole") << "/" << 3000.0 << QByteArray("MainLeft=3000");
        QTest::newRow("negative") << "/" << -1500.0 << QByteArray("MainLeft=-1500");
        QTest::newRow("zero") << "/" << 0.0 << QByteArray("MainLeft=0");
        QTest::newRow("fraction") << "/" << 1234.5 << QByteArray("MainLeft=1234.5");
        QTest::newRow("large whole, no exponent")
            << "/" << 123456789.0 << QByteArray("MainLeft=123456789");
        // Folders stored by earlier runs must read the same: plain text stays as it was written.
        QTest::newRow("folder as plain UTF-8 text")
            << QStringLiteral("/srv/Fotos 2024/\u00e9t\u00e9") << 0.0
            << QByteArray("LastDir=/srv/Fotos 2024/\xc3\xa9t\xc3\xa9");
        QTest::newRow("folder with a comma, quoted")
            << "/srv/a, b" << 0.0 << QByteArray("LastDir=\"/srv/a, b\"");
        QTest::newRow("folder name that is not UTF-8, as its bytes")
            << fromNative(QByteArray("/srv/caf\xe9")) << 0.0
            << QByteArray("LastDir=@ByteArray(/srv/caf\\xe9)");
    }
    void storedText()
    {
        QFETCH(QString, lastDir);
        QFETCH(double, left);
        QFETCH(QByteArray, line);
        vistrel::test::TemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Vistrel.ini"));
        StoredSettings s;
        s.lastDir = lastDir;
        s.mainLeft = left;
        QCOMPARE(writeSettings(path, s), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY2(content.contains(QByteArray('\n' + line + '\n')), content.constData());
    }

    void defaultsWhenAbsent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("empty file") << QByteArray("");
        QTest::newRow("other group only") << QByteArray("[Other]\nSlideInterval=99\n");
        QTest::newRow("keys outside the group")
            << QByteArray("SlideInterval=99\nToolbar2=0\n[Settings]\n");
    }
    void defaultsWhenAbsent()
    {
        QFETCH(QByteArray, content);
        vistrel::test::TemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Vistrel.ini"));
        if (!content.isNull())
            writeIni(path, content);
        const StoredSettings s = readSettings(path);
        QCOMPARE(s.lastDir, QStringLiteral("/"));
        QCOMPARE(s.slideInterval, 10);
        QCOMPARE(s.mainLeft, 3000.0);
        QCOMPARE(s.mainTop, 3000.0);
        QCOMPARE(s.mainWidth, 9090.0);
        QCOMPARE(s.mainHeight, 8610.0);
        QCOMPARE(s.toolbar1, 0);
        QCOMPARE(s.toolbar2, 1);
        QCOMPARE(s.toolbar3, 1);
        // Reading writes nothing.
        QCOMPARE(QFile::exists(path), !content.isNull());
    }

    void badTextFallsBackPerKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("expected");
        const QVariant interval = 10, position = 3000.0, width = 9090.0, height = 8610.0;
        QTest::newRow("interval: letters") << "SlideInterval"
                                           << "abc" << interval;
        QTest::newRow("interval: empty") << "SlideInterval"
                                         << "" << interval;
        QTest::newRow("interval: 1e40") << "SlideInterval"
                                        << "1e40" << interval;
        QTest::newRow("interval: 40000") << "SlideInterval"
                                         << "40000" << interval;
        QTest::newRow("interval: 32768") << "SlideInterval"
                                         << "32768" << interval;
        QTest::newRow("interval: -32769") << "SlideInterval"
                                          << "-32769" << interval;
        QTest::newRow("interval: number then text") << "SlideInterval"
                                                    << "12abc" << interval;
        QTest::newRow("interval: inf") << "SlideInterval"
                                       << "inf" << interval;
        QTest::newRow("interval: nan") << "SlideInterval"
                                       << "nan" << interval;
        QTest::newRow("interval: 32767 is kept") << "SlideInterval"
                                                 << "32767" << QVariant(32767);
        QTest::newRow("interval: -5, which the dialog refuses") << "SlideInterval"
                                                                << "-5" << interval;
        QTest::newRow("interval: 0 is kept") << "SlideInterval"
                                             << "0" << QVariant(0);
        QTest::newRow("interval: blanks around are kept") << "SlideInterval"
                                                          << " 7 " << QVariant(7);
        QTest::newRow("left: letters") << "MainLeft"
                                       << "abc" << position;
        QTest::newRow("left: empty") << "MainLeft"
                                     << "" << position;
        QTest::newRow("left: 1e40") << "MainLeft"
                                    << "1e40" << position;
        QTest::newRow("left: 2^31") << "MainLeft"
                                    << "2147483648" << position;
        QTest::newRow("left: beyond -2^31") << "MainLeft"
                                            << "-2147483649" << position;
        QTest::newRow("left: -1e10") << "MainLeft"
                                     << "-1e10" << position;
        QTest::newRow("left: inf") << "MainLeft"
                                   << "inf" << position;
        QTest::newRow("left: negative is kept") << "MainLeft"
                                                << "-1500" << QVariant(-1500.0);
        QTest::newRow("top: letters") << "MainTop"
                                      << "x" << position;
        QTest::newRow("top: 3e9") << "MainTop"
                                  << "3e9" << position;
        QTest::newRow("width: letters") << "MainWidth"
                                        << "wide" << width;
        QTest::newRow("width: 1e40") << "MainWidth"
                                     << "1e40" << width;
        QTest::newRow("height: empty") << "MainHeight"
                                       << "" << height;
        QTest::newRow("height: 2^31") << "MainHeight"
                                      << "2147483648" << height;
        QTest::newRow("toolbar1: 2") << "Toolbar1"
                                     << "2" << QVariant(0);
        QTest::newRow("toolbar1: -1") << "Toolbar1"
                                      << "-1" << QVariant(0);
        QTest::newRow("toolbar2: 2") << "Toolbar2"
                                     << "2" << QVariant(1);
        QTest::newRow("toolbar2: -1") << "Toolbar2"
                                      << "-1" << QVariant(1);
        QTest::newRow("toolbar2: letters") << "Toolbar2"
                                           << "abc" << QVariant(1);
        QTest::newRow("toolbar2: empty") << "Toolbar2"
                                         << "" << QVariant(1);
        QTest::newRow("toolbar3: 2") << "Toolbar3"
                                     << "2" << QVariant(1);
        QTest::newRow("toolbar3: 1e40") << "Toolbar3"
                                        << "1e40" << QVariant(1);
        QTest::newRow("toolbar3: 0 is kept") << "Toolbar3"
                                             << "0" << QVariant(0);
    }
    void badTextFallsBackPerKey()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QVariant, expected);
        vistrel::test::TemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Vistrel.ini"));
        QByteArray content = allKeys();
        const QByteArray line = '\n' + key.toLatin1() + '=';
        const qsizetype start = content.indexOf(line) + line.size();
        const qsizetype end = content.indexOf('\n', start);
        content.replace(start, end - start, text.toUtf8());
        writeIni(path, content);

        const StoredSettings s = readSettings(path);
        StoredSettings want = storedValues();
        if (key == QLatin1String("SlideInterval"))
            want.slideInterval = expected.toInt();
        else if (key == QLatin1String("MainLeft"))
            want.mainLeft = expected.toDouble();
        else if (key == QLatin1String("MainTop"))
            want.mainTop = expected.toDouble();
        else if (key == QLatin1String("MainWidth"))
            want.mainWidth = expected.toDouble();
        else if (key == QLatin1String("MainHeight"))
            want.mainHeight = expected.toDouble();
        else if (key == QLatin1String("Toolbar1"))
            want.toolbar1 = expected.toInt();
        else if (key == QLatin1String("Toolbar2"))
            want.toolbar2 = expected.toInt();
        else if (key == QLatin1String("Toolbar3"))
            want.toolbar3 = expected.toInt();
        compareSettings(s, want);
    }

    void unwritableStore_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QByteArray damaged = "[Settings]\nno equals sign here\nSlideInterval=25\n";
        QTest::newRow("read-only file and folder") << "read-only" << allKeys() << "read-only";
        QTest::newRow("folder that cannot be made") << "no folder" << QByteArray() << "";
        QTest::newRow("full disk") << "full" << allKeys() << "";
        QTest::newRow("full disk, line without '='") << "full" << damaged << "";
        QTest::newRow("a pipe in place of the file") << "pipe" << QByteArray() << "regular file";
        QTest::newRow("a file larger than any settings file")
            << "huge" << allKeys() << "larger than any settings file";
        QTest::newRow("given up at the end before it is put in place")
            << "given up" << allKeys() << "given up";
    }
    // Every save that does not put the values on disk says so, whatever the file held before;
    // the file stays as it was; and once the fault is gone the next save succeeds.
    void unwritableStore()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        if (fault != QLatin1String("read-only"))
            return saveFails(fault, content, reason);
        // Root writes read-only files: this case runs as an unprivileged user.
        QCOMPARE(test::runWithoutRoot([&] {
                     saveFails(fault, content, reason);
                     return QTest::currentTestFailed() ? 1 : 0;
                 }),
                 0);
    }

private:
    static void saveFails(const QString &fault, const QByteArray &content, const QString &reason)
    {
        vistrel::test::TemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("Vistrel.ini"));
        const QByteArray native = QFile::encodeName(path);
        if (fault == QLatin1String("no folder"))
            path = QStringLiteral("/proc/vistrel/Vistrel.ini");
        else if (fault == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(native.constData(), 0644), 0);
        else
            writeIni(path, content);
        if (fault == QLatin1String("huge"))
            QCOMPARE(::truncate(native.constData(), 1 << 30), 0); // sparse: takes no disk
        if (fault == QLatin1String("read-only")) {
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ReadOther);
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        ::alarm(60); // opening a pipe would wait for a writer for ever
        const StoredSettings before = readSettings(path);
        StoredSettings s = storedValues();
        s.lastDir = QStringLiteral("/elsewhere, further down");
        QString failure;
        {
            // Nothing beyond the file's present size can be written, as on a full disk.
            std::unique_ptr<test::FileSizeLimit> full;
            if (fault == QLatin1String("full"))
                full = std::make_unique<test::FileSizeLimit>(rlim_t(content.size()));
            failure =
                writeSettings(path, s, [&fault] { return fault != QLatin1String("given up"); });
        }
        ::alarm(0);
        QVERIFY(!failure.isEmpty());
        QVERIFY2(failure.contains(reason), qPrintable(failure));
        if (fault == QLatin1String("read-only")) {
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        if (fault == QLatin1String("pipe") || fault == QLatin1String("huge")) {
            compareSettings(before, StoredSettings());
            QCOMPARE(QFileInfo(path).size(), fault == QLatin1String("huge") ? 1 << 30 : 0);
            return;
        }
        if (fault == QLatin1String("no folder"))
            return;
        // The new copy written beside the file is gone with the failed save.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList(QStringLiteral("Vistrel.ini")));
        // The stored values are still there, unchanged, and can be read.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        compareSettings(readSettings(path), before);
        // The fault is gone: this save is judged on its own and succeeds.
        QCOMPARE(writeSettings(path, s), QString());
        compareSettings(readSettings(path), s);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
