// Inputs the fuzz targets under bench/fuzz found to break a property, kept as cases so that the
// fault cannot come back.

#include "browse/folderlisting.h"
#include "common/nativename.h"

#include "testutils.h"
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace vistrel;

class TestFuzzFindings : public QObject
{
    Q_OBJECT

private slots:
    void nameBytesSurviveTheRoundTrip_data();
    void nameBytesSurviveTheRoundTrip();
    void textWithByteOrderMarkKeepsIt();
};

void TestFuzzFindings::nameBytesSurviveTheRoundTrip_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("byte order mark leading the name") << QByteArray("\xef\xbb\xbfphoto.jpg");
    QTest::newRow("byte order mark after a lone byte") << QByteArray("\xff\xef\xbb\xbf.gif");
    QTest::newRow("byte order mark in the middle") << QByteArray("a\xef\xbb\xbf"
                                                                 "b.bmp");
    QTest::newRow("four-byte sequence") << QByteArray("\xf0\x9f\x93\xb7.jpg");
}

// A name read from a folder must lead back to the same file: listing it and opening it by the
// bytes its text gives back.
void TestFuzzFindings::nameBytesSurviveTheRoundTrip()
{
    QFETCH(QByteArray, name);
    QCOMPARE(toNative(fromNative(name)), name);

    vistrel::test::TemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    const FolderNames listing = readPictureNames(dir.path());
    QCOMPARE(listing.names.size(), std::size_t(1));
    const QByteArray back = toNative(fromNative(listing.names.front()));
    const QByteArray again = QFile::encodeName(dir.path()) + '/' + back;
    QVERIFY(::access(again.constData(), F_OK) == 0);
    ::unlink(path.constData());
}

// The fuzzer's own input: the text U+FEFF.
void TestFuzzFindings::textWithByteOrderMarkKeepsIt()
{
    const QString text(QChar(0xFEFF));
    QCOMPARE(fromNative(toNative(text)), text);
}

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "test_fuzzfindings.moc"
