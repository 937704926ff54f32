// Reading a folder's pictures and the two orders of the picture list.

#include "browse/folderlisting.h"
#include "browse/pathmap.h"
#include "browse/sortorder.h"
#include "common/errortext.h"
#include "common/nativename.h"
#include "testutils.h"

#include <QtTest>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using vistrel::test::Sandbox;

namespace {

QByteArray nativePath(const Sandbox &box, const QByteArray &name)
{
    return QFile::encodeName(box.path()) + '/' + name;
}

// Creates a file whose name is given as raw bytes, so that names which are no valid UTF-8 can be
// made at all.
bool createNative(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, "x", 1) == 1;
    return ::close(fd) == 0 && written;
}

struct RemoveOnExit
{
    QByteArray path;
    ~RemoveOnExit() { ::unlink(path.constData()); }
};

bool stampNanoseconds(const QByteArray &path, std::time_t seconds, long nanoseconds)
{
    timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}

QStringList shownNames(const std::vector<PictureEntry> &entries)
{
    QStringList names;
    for (const PictureEntry &entry : entries)
        names.append(entry.name);
    return names;
}

std::vector<QByteArray> toBytes(const QStringList &names)
{
    std::vector<QByteArray> bytes;
    for (const QString &name : names)
        bytes.push_back(name.toUtf8());
    return bytes;
}

QStringList sortedListing(const QString &folder)
{
    FolderNames listing = readPictureNames(folder);
    QStringList names;
    for (const QByteArray &name : listing.names)
        names.append(fromNative(name));
    names.sort();
    return names;
}

// 5 March 2024, 14:07:09 in the zone of the test run (UTC).
std::time_t march5()
{
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    return ::timegm(&t);
}

} // namespace

class TestSortOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The date keys are local times: fix the zone before the first conversion loads it.
        qputenv("TZ", "UTC");
        ::tzset();
    }

    void byName_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("letter case is ignored")
            << QStringList{"B.jpg", "a.jpg", "C.gif"} << QStringList{"a.jpg", "B.jpg", "C.gif"};
        QTest::newRow("digits compare as characters")
            << QStringList{"img2.jpg", "img10.jpg", "img1.jpg"}
            << QStringList{"img1.jpg", "img10.jpg", "img2.jpg"};
        QTest::newRow("equal but for case: exact text decides, whatever the input order")
            << QStringList{"a.jpg", "A.jpg", "b.JPG", "b.jpg"}
            << QStringList{"A.jpg", "a.jpg", "b.JPG", "b.jpg"};
        QTest::newRow("equal but for case, reversed input")
            << QStringList{"b.jpg", "b.JPG", "A.jpg", "a.jpg"}
            << QStringList{"A.jpg", "a.jpg", "b.JPG", "b.jpg"};
        QTest::newRow("letters beyond ASCII fold too")
            << QStringList{"\u00e9t\u00e9.jpg", "\u00c9t\u00e9b.jpg", "\u00c9T\u00c9.jpg"}
            << QStringList{"\u00c9T\u00c9.jpg", "\u00e9t\u00e9.jpg", "\u00c9t\u00e9b.jpg"};
        QTest::newRow("nothing") << QStringList{} << QStringList{};
    }
    void byName()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QCOMPARE(shownNames(orderByName(toBytes(names))), expected);
    }

    // Files stamped at (seconds offset, nanoseconds); expected date order.
    void byDate_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("seconds");
        QTest::addColumn<QList<int>>("nanoseconds");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("oldest first")
            << QStringList{"a.jpg", "b.jpg", "c.jpg"} << QList<int>{300, 100, 200}
            << QList<int>{0, 0, 0} << QStringList{"b.jpg", "c.jpg", "a.jpg"};
        QTest::newRow("same second: name order, not the fraction")
            << QStringList{"b.jpg", "a.jpg"} << QList<int>{5, 5} << QList<int>{100, 900000000}
            << QStringList{"a.jpg", "b.jpg"};
        QTest::newRow("same second, mixed case")
            << QStringList{"B.jpg", "a.jpg", "c.jpg"} << QList<int>{7, 7, 6} << QList<int>{0, 0, 0}
            << QStringList{"c.jpg", "a.jpg", "B.jpg"};
        QTest::newRow("a later year beats an earlier day of month")
            << QStringList{"new.jpg", "old.jpg"} << QList<int>{400 * 86400, 20 * 86400}
            << QList<int>{0, 0} << QStringList{"old.jpg", "new.jpg"};
    }
    void byDate()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, seconds);
        QFETCH(QList<int>, nanoseconds);
        QFETCH(QStringList, expected);
        Sandbox box;
        box.fill(names);
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(stampNanoseconds(nativePath(box, names[i].toUtf8()), march5() + seconds[i],
                                     nanoseconds[i]));
        }
        const FolderNames listing = readPictureNames(box.path());
        QVERIFY(listing.ok);
        QCOMPARE(shownNames(orderByDate(box.path(), listing.names)), expected);
    }

    void folderWithTrailingSlash()
    {
        Sandbox box;
        box.fill({"b.jpg", "a.jpg"});
        box.setMtime(QStringLiteral("a.jpg"), march5() + 10);
        box.setMtime(QStringLiteral("b.jpg"), march5());
        const QString folder = box.path() + QLatin1Char('/');
        const FolderNames listing = readPictureNames(folder);
        QCOMPARE(shownNames(orderByDate(folder, listing.names)), (QStringList{"b.jpg", "a.jpg"}));
    }

    void rootFolderListsBareNames()
    {
        const FolderNames listing = readPictureNames(QStringLiteral("/"));
        QVERIFY(listing.ok);
        for (const PictureEntry &entry : orderByDate(QStringLiteral("/"), listing.names))
            QVERIFY2(!entry.name.contains(QLatin1Char('/')), qPrintable(entry.name));
        QCOMPARE(joinFolderAndName(QStringLiteral("/"), QStringLiteral("a.jpg")),
                 QStringLiteral("/a.jpg"));
    }

    void localTimeKeyIsTheLocalTime()
    {
        QCOMPARE(localTimeKey(march5()), Q_INT64_C(20240305140709));
        QCOMPARE(localTimeKey(0), Q_INT64_C(19700101000000));
        // The key must order like the time itself across a change of month and year.
        QVERIFY(localTimeKey(march5() - 86400 * 65) < localTimeKey(march5()));
        // Check against the C library for another moment, in whatever form it gives.
        const std::time_t t = 1700000000;
        std::tm local{};
        QVERIFY(::localtime_r(&t, &local));
        char text[32];
        std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
        QCOMPARE(QByteArray::number(qlonglong(localTimeKey(t))), QByteArray(text));
    }

    void nonUtf8Names_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.jpg");
        QTest::newRow("bytes no UTF-8 starts with") << QByteArray("\xff\xfe.jpg");
        QTest::newRow("cut-off sequence before the dot") << QByteArray("abc\xc3.jpg");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80.gif");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf.bmp");
        QTest::newRow("valid two-byte UTF-8") << QByteArray("caf\xc3\xa9.jpg");
        QTest::newRow("valid four-byte UTF-8") << QByteArray("\xf0\x9f\x98\x80.jpg");
    }
    void nonUtf8Names()
    {
        QFETCH(QByteArray, name);
        QCOMPARE(toNative(fromNative(name)), name);

        Sandbox box;
        // The temporary folder cannot remove names that are no valid UTF-8 by itself.
        const RemoveOnExit cleanup{nativePath(box, name)};
        QVERIFY(createNative(nativePath(box, name)));
        QVERIFY(createNative(nativePath(box, "plain.jpg")));
        const FolderNames listing = readPictureNames(box.path());
        QVERIFY(listing.ok);
        QCOMPARE(int(listing.names.size()), 2);
        for (const auto &entries :
             {orderByName(listing.names), orderByDate(box.path(), listing.names)}) {
            QCOMPARE(int(entries.size()), 2);
            const auto it = std::find_if(entries.begin(), entries.end(),
                                         [&](const auto &e) { return e.nativeName == name; });
            QVERIFY(it != entries.end());
            QCOMPARE(toNative(it->name), name);
            // The shown name leads back to the file on disk.
            struct stat st;
            QCOMPARE(::stat(toNative(joinFolderAndName(box.path(), it->name)).constData(), &st), 0);
        }
    }

    void validUtf8ShowsAsText()
    {
        QCOMPARE(fromNative(QByteArray("caf\xc3\xa9.jpg")), QStringLiteral("caf\u00e9.jpg"));
        QCOMPARE(fromNative(QByteArray("\xf0\x9f\x98\x80")), QStringLiteral("\U0001F600"));
    }

    void whichFilesAreListed_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("extensions in any case") << QStringList{"a.JPG", "b.Gif", "c.bMp", "d.jpg"}
                                                << QStringList{"a.JPG", "b.Gif", "c.bMp", "d.jpg"};
        QTest::newRow("other files left out")
            << QStringList{"a.jpeg", "b.png", "c.jpg.txt", "notes", "jpg", "e.jpg"}
            << QStringList{"e.jpg"};
        QTest::newRow("hidden pictures left out")
            << QStringList{".hidden.jpg", ".jpg", "shown.jpg"} << QStringList{"shown.jpg"};
        QTest::newRow("empty folder") << QStringList{} << QStringList{};
    }
    void whichFilesAreListed()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        Sandbox box;
        box.fill(files);
        QCOMPARE(sortedListing(box.path()), expected);
    }

    void foldersFifosAndLinks()
    {
        Sandbox box;
        box.fill({"real.jpg"});
        box.mkdir(QStringLiteral("folder.jpg"));
        box.mkdir(QStringLiteral(".hiddenfolder.jpg"));
        QCOMPARE(::mkfifo(nativePath(box, "p.jpg").constData(), 0644), 0);
        QCOMPARE(::symlink("real.jpg", nativePath(box, "link.jpg").constData()), 0);
        QCOMPARE(::symlink("gone.jpg", nativePath(box, "dangling.jpg").constData()), 0);
        QCOMPARE(::symlink("folder.jpg", nativePath(box, "dirlink.jpg").constData()), 0);
        QCOMPARE(::symlink("p.jpg", nativePath(box, "fifolink.jpg").constData()), 0);

        // Nothing here may open the FIFO: that would block the test for good.
        QCOMPARE(sortedListing(box.path()), (QStringList{"link.jpg", "real.jpg"}));
        const FolderNames listing = readPictureNames(box.path());
        QCOMPARE(shownNames(orderByDate(box.path(), listing.names)).size(), 2);
    }

    void fileVanishingBeforeTheDateFill()
    {
        Sandbox box;
        box.fill({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
        for (int i = 0; i < 4; ++i)
            box.setMtime(QStringLiteral("%1.jpg").arg(QChar(u'a' + i)), march5() + 10 - i);
        const FolderNames listing = readPictureNames(box.path());
        QCOMPARE(int(listing.names.size()), 4);
        QVERIFY(QFile::remove(box.file(QStringLiteral("b.jpg"))));
        QVERIFY(QFile::remove(box.file(QStringLiteral("d.jpg"))));
        QCOMPARE(shownNames(orderByDate(box.path(), listing.names)),
                 (QStringList{"c.jpg", "a.jpg"}));
    }

    void folderVanishingBeforeTheDateFill()
    {
        std::vector<QByteArray> names;
        QString folder;
        {
            Sandbox box;
            box.fill({"a.jpg"});
            folder = box.path();
            names = readPictureNames(folder).names;
        }
        QCOMPARE(int(names.size()), 1);
        QVERIFY(orderByDate(folder, names).empty());
    }

    void unreadableFolder_data()
    {
        QTest::addColumn<QString>("subpath");
        QTest::addColumn<int>("error");
        QTest::newRow("vanished") << QStringLiteral("gone") << ENOENT;
        QTest::newRow("a file, not a folder") << QStringLiteral("file.jpg") << ENOTDIR;
    }
    void unreadableFolder()
    {
        QFETCH(QString, subpath);
        QFETCH(int, error);
        Sandbox box;
        box.fill({"file.jpg"});
        const FolderNames listing = readPictureNames(box.file(subpath));
        QVERIFY(!listing.ok);
        QCOMPARE(listing.error, error);
        QVERIFY(!errorText(listing.error).isEmpty());
    }

    void startupProbe_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("found");
        QTest::newRow("a picture") << QStringList{"a.jpg"} << QStringList{} << true;
        QTest::newRow("only a non-picture file")
            << QStringList{"notes.txt"} << QStringList{} << true;
        QTest::newRow("empty") << QStringList{} << QStringList{} << false;
        QTest::newRow("only sub-folders") << QStringList{} << QStringList{"sub", "b.jpg"} << false;
        QTest::newRow("only hidden files") << QStringList{".profile"} << QStringList{} << false;
    }
    void startupProbe()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        QFETCH(bool, found);
        Sandbox box;
        box.fill(files);
        for (const QString &folder : folders)
            box.mkdir(folder);
        QCOMPARE(folderHasAnyFile(box.path()), found);
        QCOMPARE(folderHasAnyFile(box.path() + QLatin1Char('/')), found);
    }

    void startupProbeFailures()
    {
        Sandbox box;
        QCOMPARE(::mkfifo(nativePath(box, "pipe").constData(), 0644), 0);
        QVERIFY(!folderHasAnyFile(box.path()));
        QVERIFY(!folderHasAnyFile(box.file(QStringLiteral("gone"))));
        QVERIFY(!folderHasAnyFile(box.file(QStringLiteral("pipe"))));
        QVERIFY(!folderHasAnyFile(QString()));
    }
};

QTEST_GUILESS_MAIN(TestSortOrder)
#include "test_sortorder.moc"
