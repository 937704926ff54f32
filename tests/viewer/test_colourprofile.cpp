#include "pictures.h"
#include "testutils.h"
#include "viewer/colourprofile.h"
#include "viewer/pictureloader.h"
#include "viewer/regiondecoder.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace vistrel;
using namespace vistrel::test;

namespace {

const QString colord = QStringLiteral("/usr/share/color/icc/colord/");
const QString ghostscript = QStringLiteral("/usr/share/color/icc/ghostscript/");

QByteArray profileFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The JPEG with the profile cut into `pieces` APP2 segments, written in the order given (piece
// numbers from 1; a number may repeat or be missing), each claiming `count` pieces.
QByteArray withPieces(const QByteArray &jpeg, const QByteArray &icc, int pieces,
                      const QList<int> &order, int count)
{
    const qsizetype size = (icc.size() + pieces - 1) / pieces;
    QByteArray segments;
    for (int number : order) {
        const QByteArray piece = icc.mid((number - 1) * size, size);
        QByteArray body = QByteArray("ICC_PROFILE", 12) + char(number) + char(count) + piece;
        segments += QByteArray("\xFF\xE2", 2) + char((body.size() + 2) >> 8) +
                    char((body.size() + 2) & 0xFF) + body;
    }
    return jpeg.left(2) + segments + jpeg.mid(2);
}

QByteArray withPieces(const QByteArray &jpeg, const QByteArray &icc)
{
    // A segment holds at most 65,533 bytes.
    const int pieces = int(icc.size() / 60000 + 1);
    QList<int> order;
    for (int i = 1; i <= pieces; ++i)
        order << i;
    return withPieces(jpeg, icc, pieces, order, pieces);
}

// A version 5 BMP with the profile after its rows; `claimed` overrides the stored size.
QByteArray bmpWithProfile(const QImage &image, const QByteArray &icc, quint32 claimed = 0)
{
    QByteArray bytes = bmp(image, 24, false, 124);
    const auto put32 = [&bytes](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(v >> (8 * i));
    };
    put32(14 + 56, 0x4D424544); // "MBED"
    put32(14 + 112, quint32(bytes.size() - 14));
    put32(14 + 116, claimed ? claimed : quint32(icc.size()));
    return bytes + icc;
}

// A 1x1 GIF of the colour with the profile in an ICC application extension.
QByteArray gifWithProfile(const QColor &colour, const QByteArray &icc)
{
    QByteArray gif = tinyGif();
    gif[13] = char(colour.red());
    gif[14] = char(colour.green());
    gif[15] = char(colour.blue());
    QByteArray extension("\x21\xFF\x0B"
                         "ICCRGBG1012");
    for (qsizetype at = 0; at < icc.size(); at += 255) {
        const QByteArray block = icc.mid(at, 255);
        extension += char(block.size()) + block;
    }
    extension += '\0';
    return gif.left(19) + extension + gif.mid(19);
}

QByteArray convertedByImageMagick(const QString &folder, const QStringList &arguments)
{
    const QString out = folder + QStringLiteral("/made.jpg");
    QProcess convert;
    convert.start(QStringLiteral("convert"), arguments + QStringList{out});
    if (!convert.waitForFinished(30000) || convert.exitCode() != 0)
        return {};
    return profileFile(out);
}

bool within(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

// The colours a picture with an embedded profile is shown in, checked against what ImageMagick's
// conversion to sRGB gives for the same files; and profiles that must not be believed.
class TestColourProfile : public QObject
{
    Q_OBJECT

private slots:
    void init() { setDisplayProfile({}); }

    void shownInSrgb_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QColor>("expected");
        const QString adobe = colord + QStringLiteral("AdobeRGB1998.icc");
        QTest::newRow("Adobe RGB JPEG, one piece") << "jpeg" << adobe << QColor(0, 161, 83);
        QTest::newRow("Adobe RGB JPEG, three pieces out of order")
            << "jpeg 3 pieces" << adobe << QColor(0, 161, 83);
        QTest::newRow("wide-gamut ProPhoto JPEG")
            << "jpeg" << colord + QStringLiteral("ProPhotoRGB.icc") << QColor(0, 191, 92);
        QTest::newRow("sRGB JPEG keeps its numbers")
            << "jpeg" << colord + QStringLiteral("sRGB.icc") << QColor(40, 160, 89);
        QTest::newRow("CMYK JPEG, Adobe inverted, SWOP profile")
            << "cmyk" << ghostscript + QStringLiteral("default_cmyk.icc") << QColor(102, 163, 125);
        QTest::newRow("grey JPEG with a grey profile")
            << "grey" << ghostscript + QStringLiteral("sgray.icc") << QColor(119, 119, 119);
        QTest::newRow("BMP version 5, embedded Adobe RGB") << "bmp" << adobe << QColor(0, 161, 84);
        QTest::newRow("GIF with an ICC extension") << "gif" << adobe << QColor(0, 161, 84);
    }
    void shownInSrgb()
    {
        QFETCH(QString, kind);
        QFETCH(QString, profile);
        QFETCH(QColor, expected);
        const QByteArray icc = profileFile(profile);
        QVERIFY2(!icc.isEmpty(), qPrintable(profile));
        Sandbox box;
        const QColor stored(40, 160, 90);
        const QByteArray jpeg = encode(solid(64, 48, stored), "jpg", 100);
        QByteArray bytes;
        if (kind == QLatin1String("jpeg"))
            bytes = withPieces(jpeg, icc);
        else if (kind == QLatin1String("jpeg 3 pieces"))
            bytes = withPieces(jpeg, icc, 3, {3, 1, 2}, 3);
        else if (kind == QLatin1String("bmp"))
            bytes = bmpWithProfile(solid(5, 3, stored), icc);
        else if (kind == QLatin1String("gif"))
            bytes = gifWithProfile(stored, icc);
        else if (kind == QLatin1String("cmyk"))
            bytes = convertedByImageMagick(box.path(),
                                           {QStringLiteral("-size"), QStringLiteral("64x48"),
                                            QStringLiteral("xc:cmyk(60%,10%,60%,10%)"),
                                            QStringLiteral("-colorspace"), QStringLiteral("cmyk"),
                                            QStringLiteral("-profile"), profile});
        else
            bytes = convertedByImageMagick(
                box.path(), {QStringLiteral("-size"), QStringLiteral("64x48"),
                             QStringLiteral("xc:gray(100)"), QStringLiteral("-colorspace"),
                             QStringLiteral("gray"), QStringLiteral("-profile"), profile});
        QVERIFY(!bytes.isEmpty());
        box.write(QStringLiteral("x"), bytes);
        const QByteArray path = QFile::encodeName(box.file(QStringLiteral("x")));
        const LoadedPicture shown = PictureLoader::load(path, QSize(16, 12));
        QVERIFY(shown.ok());
        const QRgb got = shown.image.pixel(shown.image.width() / 2, shown.image.height() / 2);
        QVERIFY2(within(got, expected.rgb(), 1), qPrintable(QColor(got).name()));
        QCOMPARE(qAlpha(got), 255);
        // A tile of it at its own size has the same colours.
        if (RegionDecoder::handles(path)) {
            const LoadedPicture tile = RegionDecoder::decode(path, QRect(1, 1, 2, 1));
            QVERIFY(tile.ok());
            QVERIFY2(within(tile.image.pixel(0, 0), expected.rgb(), 1),
                     qPrintable(QColor(tile.image.pixel(0, 0)).name()));
        } else {
            QVERIFY(kind == QLatin1String("cmyk") || kind == QLatin1String("gif"));
        }
        // Printing is given the same sRGB, also when the display has a profile of its own.
        setDisplayProfile(profileFile(colord + QStringLiteral("WideGamutRGB.icc")));
        QVERIFY(!displayIsSrgb());
        const LoadedPicture printed = PictureLoader::loadWithinBudget(path);
        QVERIFY(printed.ok());
        QVERIFY(within(printed.image.pixel(printed.image.width() / 2, printed.image.height() / 2),
                       expected.rgb(), 1));
    }

    void hostileProfilesLeaveStoredNumbers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no profile") << "none";
        QTest::newRow("truncated profile") << "truncated";
        QTest::newRow("header claims a huge tag count") << "tags";
        QTest::newRow("every tag claims 2 GB") << "size";
        QTest::newRow("random bytes") << "random";
        QTest::newRow("CMYK profile on an RGB picture") << "cmyk on rgb";
        QTest::newRow("a piece missing") << "missing";
        QTest::newRow("a piece twice") << "duplicate";
        QTest::newRow("pieces disagree on their count") << "counts";
        QTest::newRow("10 MB of pieces") << "10 MB";
        QTest::newRow("BMP profile claimed 10 MB") << "bmp size";
        QTest::newRow("BMP profile past the file's end") << "bmp past";
        QTest::newRow("GIF profile of 10 MB") << "gif 10 MB";
    }
    // Never trusted, never slow, never a crash: the picture is shown by its stored numbers.
    void hostileProfilesLeaveStoredNumbers()
    {
        QFETCH(QString, kind);
        const QByteArray adobe = profileFile(colord + QStringLiteral("AdobeRGB1998.icc"));
        const QImage image = gradient(64, 48);
        const QByteArray jpeg = encode(image, "jpg", 90);
        QByteArray icc = adobe;
        const auto put32 = [&icc](int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                icc[at + i] = char(v >> (8 * (3 - i)));
        };
        QByteArray bytes;
        QByteArray plain = jpeg;
        if (kind == QLatin1String("truncated"))
            icc.truncate(300);
        else if (kind == QLatin1String("tags"))
            put32(128, 0xFFFFFFF0);
        else if (kind == QLatin1String("size"))
            for (int tag = 0; tag < 13; ++tag)
                put32(132 + 12 * tag + 8, 0x7FFFFFFF);
        else if (kind == QLatin1String("random"))
            for (qsizetype i = 0; i < icc.size(); ++i)
                icc[i] = char((i * 7919) >> 3);
        else if (kind == QLatin1String("cmyk on rgb"))
            icc = profileFile(ghostscript + QStringLiteral("default_cmyk.icc"));
        if (kind == QLatin1String("none"))
            bytes = jpeg;
        else if (kind == QLatin1String("missing"))
            bytes = withPieces(jpeg, icc, 3, {1, 3}, 3);
        else if (kind == QLatin1String("duplicate"))
            bytes = withPieces(jpeg, icc, 3, {1, 2, 2, 3}, 3);
        else if (kind == QLatin1String("counts"))
            bytes = withPieces(withPieces(jpeg, icc, 2, {2}, 2), icc, 2, {1}, 3);
        else if (kind == QLatin1String("10 MB"))
            bytes = withPieces(
                jpeg, QByteArray(160 * 65000, 'p'), 160,
                [] {
                    QList<int> all;
                    for (int i = 1; i <= 160; ++i)
                        all << i;
                    return all;
                }(),
                160);
        else if (kind.startsWith(QLatin1String("bmp"))) {
            plain = bmp(image, 24, false, 124);
            bytes = bmpWithProfile(image, adobe,
                                   kind == QLatin1String("bmp size") ? 10u << 20
                                                                     : quint32(adobe.size() + 1));
        } else if (kind == QLatin1String("gif 10 MB")) {
            plain = tinyGif();
            bytes = gifWithProfile(QColor(Qt::red), QByteArray(10 << 20, 'g'));
        } else
            bytes = withPieces(jpeg, icc);

        Sandbox box;
        box.write(QStringLiteral("plain"), plain);
        box.write(QStringLiteral("x"), bytes);
        const qint64 before = test::processorMs();
        const LoadedPicture p =
            PictureLoader::load(QFile::encodeName(box.file(QStringLiteral("x"))));
        QVERIFY2(test::processorMs() - before < 3000,
                 "a hostile profile must not hold up the decode");
        QVERIFY(p.ok());
        const LoadedPicture stored =
            PictureLoader::load(QFile::encodeName(box.file(QStringLiteral("plain"))));
        QCOMPARE(p.image, stored.image);
    }

    void displayProfile_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("srgb");
        QTest::addColumn<QColor>("expected"); // the Adobe RGB picture on that display
        QTest::newRow("no profile set: sRGB") << QString() << true << QColor(0, 161, 83);
        QTest::newRow("a wide-gamut display")
            << colord + QStringLiteral("WideGamutRGB.icc") << false << QColor(78, 146, 91);
        QTest::newRow("a CMYK profile is no display's: sRGB")
            << ghostscript + QStringLiteral("default_cmyk.icc") << true << QColor(0, 161, 83);
        QTest::newRow("a damaged one: sRGB")
            << ghostscript + QStringLiteral("missing.icc") << true << QColor(0, 161, 83);
    }
    void displayProfile()
    {
        QFETCH(QString, display);
        QFETCH(QColor, expected);
        QByteArray icc = display.isEmpty() ? QByteArray() : profileFile(display);
        if (display.endsWith(QLatin1String("missing.icc")))
            icc = profileFile(colord + QStringLiteral("sRGB.icc")).left(500);
        setDisplayProfile(icc);
        QTEST(displayIsSrgb(), "srgb");
        Sandbox box;
        box.write(QStringLiteral("x.jpg"),
                  withPieces(encode(solid(8, 8, QColor(40, 160, 90)), "jpg", 100),
                             profileFile(colord + QStringLiteral("AdobeRGB1998.icc"))));
        const LoadedPicture p =
            PictureLoader::load(QFile::encodeName(box.file(QStringLiteral("x.jpg"))));
        QVERIFY(p.ok());
        QVERIFY2(within(p.image.pixel(4, 4), expected.rgb(), 1),
                 qPrintable(QColor(p.image.pixel(4, 4)).name()));
    }
};

QTEST_GUILESS_MAIN(TestColourProfile)
#include "test_colourprofile.moc"
