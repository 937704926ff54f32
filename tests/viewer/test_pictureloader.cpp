#include "pictures.h"
#include "testutils.h"
#include "viewer/bmpdecoder.h"
#include "viewer/jpegdecoder.h"
#include "viewer/pictureheader.h"
#include "viewer/pictureloader.h"
#include "viewer/regiondecoder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTransform>

#include <atomic>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using namespace vistrel::test;

// Reading picture files: what each kind of bad file gives, the reduced JPEG decode, and the
// refusal of sizes that cannot be held in memory.
class TestPictureLoader : public QObject
{
    Q_OBJECT

    static QByteArray native(const Sandbox &box, const QString &name)
    {
        return QFile::encodeName(box.file(name));
    }

private slots:
    void failureClasses_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("incomplete");
        QTest::newRow("good JPEG") << "jpeg" << 0 << false;
        QTest::newRow("missing file") << "missing" << int(LoadedPicture::FileNotFound) << false;
        QTest::newRow("missing folder on the way")
            << "missingdir" << int(LoadedPicture::FileNotFound) << false;
        QTest::newRow("truncated JPEG is shown, flagged") << "truncated" << 0 << true;
        QTest::newRow("JPEG cut inside its header")
            << "headeronly" << int(LoadedPicture::Unreadable) << false;
        QTest::newRow("zero bytes") << "empty" << int(LoadedPicture::Unreadable) << false;
        QTest::newRow("random bytes named .jpg")
            << "random" << int(LoadedPicture::Unreadable) << false;
        QTest::newRow("GIF") << "gif" << 0 << false;
        QTest::newRow("BMP") << "bmp" << 0 << false;
        QTest::newRow("BMP cut inside its rows shows what it holds") << "bmpcut" << 0 << false;
        QTest::newRow("BMP claiming rows longer than the file")
            << "bmpwide" << int(LoadedPicture::Unreadable) << false;
        QTest::newRow("BMP whose rows start past its end reads them after its header")
            << "bmpoffset" << 0 << false;
        QTest::newRow("PNG named .jpg") << "png" << 0 << false;
        QTest::newRow("folder named x.jpg") << "folder" << int(LoadedPicture::Unreadable) << false;
        QTest::newRow("FIFO does not block") << "fifo" << int(LoadedPicture::Unreadable) << false;
        QTest::newRow("header claims 60000x60000")
            << "bomb" << int(LoadedPicture::OutOfMemory) << false;
    }
    void failureClasses()
    {
        QFETCH(QString, kind);
        Sandbox box;
        QString name = QStringLiteral("x.jpg");
        const QByteArray jpeg = encode(gradient(64, 48), "jpg");
        if (kind == QLatin1String("jpeg"))
            box.write(name, jpeg);
        else if (kind == QLatin1String("missingdir"))
            name = QStringLiteral("gone/x.jpg");
        else if (kind == QLatin1String("truncated"))
            box.write(name, jpeg.left(jpeg.size() * 2 / 3));
        else if (kind == QLatin1String("headeronly"))
            box.write(name, jpeg.left(100));
        else if (kind == QLatin1String("empty"))
            box.write(name, {});
        else if (kind == QLatin1String("random")) {
            QByteArray noise(4096, '\0');
            QRandomGenerator rng(7);
            for (char &c : noise)
                c = char(rng.bounded(256));
            box.write(name, noise);
        } else if (kind == QLatin1String("gif")) {
            name = QStringLiteral("x.gif");
            box.write(name, tinyGif());
        } else if (kind == QLatin1String("bmp")) {
            name = QStringLiteral("x.bmp");
            box.write(name, encode(gradient(5, 3), "bmp"));
        } else if (kind.startsWith(QLatin1String("bmp"))) {
            name = QStringLiteral("x.bmp");
            QByteArray bytes = bmp(gradient(33, 20), 24, false);
            if (kind == QLatin1String("bmpcut"))
                bytes.chop(bytes.size() / 3);
            const auto put32 = [&bytes](int at, quint32 v) {
                for (int i = 0; i < 4; ++i)
                    bytes[at + i] = char(v >> (8 * i));
            };
            if (kind == QLatin1String("bmpwide"))
                put32(18, 0x7FFFFFFF);
            if (kind == QLatin1String("bmpoffset"))
                put32(10, 0xFFFFFFF0);
            box.write(name, bytes);
        } else if (kind == QLatin1String("png"))
            box.write(name, encode(gradient(5, 3), "png"));
        else if (kind == QLatin1String("folder"))
            box.mkdir(name);
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(native(box, name).constData(), 0600), 0);
        else if (kind == QLatin1String("bomb"))
            box.write(name, withClaimedSize(jpeg, 60000, 60000));

        const qint64 before = test::processorMs();
        const LoadedPicture p = PictureLoader::load(native(box, name));
        QVERIFY2(test::processorMs() - before < 5000, "loading must not churn");
        QTEST(p.error, "error");
        QTEST(p.incomplete, "incomplete");
        QCOMPARE(p.ok(), !p.image.isNull());
        if (p.ok())
            QVERIFY(!p.fullSize.isEmpty());
        else
            QVERIFY(!p.reason.isEmpty());
    }

    void gifGivesItsFirstFrameColours()
    {
        Sandbox box;
        box.write(QStringLiteral("x.gif"), tinyGif());
        const LoadedPicture p = PictureLoader::load(native(box, QStringLiteral("x.gif")));
        QVERIFY(p.ok());
        QCOMPARE(p.image.size(), QSize(1, 1));
        QCOMPARE(QColor(p.image.pixel(0, 0)), QColor(Qt::red));
    }

    void jpegPixelsAreInPlace()
    {
        // Red left half, blue right half: catches swapped channels and mirrored rows.
        QImage image = solid(64, 32, Qt::red);
        QPainter(&image).fillRect(32, 0, 32, 32, Qt::blue);
        Sandbox box;
        box.write(QStringLiteral("x.jpg"), encode(image, "jpg", 100));
        const LoadedPicture p = PictureLoader::load(native(box, QStringLiteral("x.jpg")));
        QVERIFY(p.ok());
        QCOMPARE(p.image.size(), QSize(64, 32));
        const QColor left(p.image.pixel(8, 16));
        const QColor right(p.image.pixel(56, 16));
        QVERIFY2(left.red() > 200 && left.blue() < 50, qPrintable(left.name()));
        QVERIFY2(right.blue() > 200 && right.red() < 50, qPrintable(right.name()));
    }

    void noReadPermission()
    {
        // Root reads everything; look at the file as an ordinary user would.
        Sandbox box;
        box.write(QStringLiteral("x.jpg"), encode(gradient(8, 8), "jpg"));
        ::chmod(native(box, QStringLiteral("x.jpg")).constData(), 0);
        const bool dropped = ::geteuid() == 0 && ::seteuid(65534) == 0;
        if (::geteuid() == 0)
            QSKIP("cannot drop root privileges to test a missing read permission");
        const LoadedPicture p = PictureLoader::load(native(box, QStringLiteral("x.jpg")));
        if (dropped)
            QCOMPARE(::seteuid(0), 0);
        QCOMPARE(p.error, int(LoadedPicture::PermissionDenied));
    }

    void reducedDecode_data()
    {
        QTest::addColumn<QByteArray>("format"); // "turned jpg": stored on its side, tagged 6
        QTest::addColumn<QSize>("picture");     // upright
        QTest::addColumn<QSize>("atLeast");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("quarter is still large enough")
            << QByteArray("jpg") << QSize(1600, 1200) << QSize(390, 290) << QSize(400, 300);
        QTest::newRow("both directions must fit, no aspect kept")
            << QByteArray("jpg") << QSize(1600, 1200) << QSize(390, 700) << QSize(1000, 750);
        QTest::newRow("larger area than picture decodes full")
            << QByteArray("jpg") << QSize(160, 120) << QSize(800, 600) << QSize(160, 120);
        QTest::newRow("tiny area uses an eighth")
            << QByteArray("jpg") << QSize(1600, 1200) << QSize(10, 10) << QSize(200, 150);
        QTest::newRow("no size asked decodes full")
            << QByteArray("jpg") << QSize(320, 240) << QSize() << QSize(320, 240);
        QTest::newRow("turned photo reduced by its upright size")
            << QByteArray("turned jpg") << QSize(1600, 1200) << QSize(390, 290) << QSize(400, 300);
        QTest::newRow("panorama far wider than the area, averaged down by rows")
            << QByteArray("jpg") << QSize(20000, 1000) << QSize(1000, 1000) << QSize(1000, 1000);
        QTest::newRow("turned panorama averaged down by rows")
            << QByteArray("turned jpg") << QSize(1000, 20000) << QSize(1000, 1000)
            << QSize(1000, 1000);
        QTest::newRow("BMP scaled to the area")
            << QByteArray("bmp") << QSize(1600, 1200) << QSize(390, 290) << QSize(390, 290);
        QTest::newRow("narrow BMP keeps its width, never enlarged")
            << QByteArray("bmp") << QSize(100, 1200) << QSize(390, 290) << QSize(100, 290);
        QTest::newRow("BMP at its own size")
            << QByteArray("bmp") << QSize(320, 240) << QSize() << QSize(320, 240);
    }
    void reducedDecode()
    {
        QFETCH(QByteArray, format);
        QFETCH(QSize, picture);
        QFETCH(QSize, atLeast);
        Sandbox box;
        const bool turned = format == "turned jpg";
        const QImage upright = gradient(picture.width(), picture.height());
        QByteArray bytes = encode(turned ? upright.transformed(QTransform().rotate(-90)) : upright,
                                  turned ? "jpg" : format.constData());
        if (turned)
            bytes = withOrientation(bytes, 6);
        box.write(QStringLiteral("x"), bytes);
        const LoadedPicture p = PictureLoader::load(native(box, QStringLiteral("x")), atLeast);
        QVERIFY(p.ok());
        QCOMPARE(p.fullSize, picture);
        QTEST(p.image.size(), "decoded");
        // The green of the gradient grows downwards, upright.
        QVERIFY(qGreen(p.image.pixel(0, 0)) < qGreen(p.image.pixel(0, p.image.height() - 1)));
    }

    // The bound for a picture decoded whole follows the machine's real available memory.
    void availableMemoryIsRead()
    {
        const qint64 available = availableMemory();
        QVERIFY2(available > 0, "MemAvailable read from /proc/meminfo");
        const qint64 bound = memoryBoundFor(qint64(1) << 30);
        QCOMPARE(bound, qMax(memoryBoundFloor, available / 2));
    }

    void sizeFromOwnHeader_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QSize>("size"); // what the header reading gives; empty: none
        QTest::addColumn<bool>("byRegion");
        QTest::addColumn<int>("error"); // of a load reduced to 100 x 100
        QTest::newRow("JPEG frame behind 320 kB of APP1 segments")
            << QByteArray("app1") << QSize(300, 230) << true << 0;
        QTest::newRow("JPEG frame behind a 3.9 MB colour profile")
            << QByteArray("icc") << QSize(300, 230) << true << 0;
        QTest::newRow("JPEG frame behind 20,000 empty segments is not looked for")
            << QByteArray("segments") << QSize() << false << 0;
        QTest::newRow("GIF screen of 65535 square around a 1 x 1 frame")
            << QByteArray("gif screen") << QSize(1, 1) << false << 0;
        QTest::newRow("GIF frame placed inside a 65535 square screen")
            << QByteArray("gif placed") << QSize(6, 8) << false << 0;
        QTest::newRow("GIF frame inside a screen Qt's reader takes keeps the screen")
            << QByteArray("gif small") << QSize(10, 10) << false << 0;
        QTest::newRow("1-bit BMP of 65535 square")
            << QByteArray("bmp1") << QSize(65535, 65535) << true << 0;
        QTest::newRow("run-length BMP of 20000 square, beyond Qt's reader")
            << QByteArray("rle") << QSize(20000, 20000) << false << int(LoadedPicture::OutOfMemory);
    }
    // Sizes are read by the program itself, wherever the header holds them, before any reader is
    // asked: a picture too large is refused for its size, never as a damaged file.
    void sizeFromOwnHeader()
    {
        QFETCH(QByteArray, kind);
        Sandbox box;
        const QByteArray jpeg = encode(gradient(300, 230), "jpg");
        const auto segment = [](uchar marker, const QByteArray &body) -> QByteArray {
            const qsizetype n = body.size() + 2;
            return QByteArray("\xFF") + char(marker) + char(n >> 8) + char(n & 0xFF) + body;
        };
        const auto le16 = [](int v) -> QByteArray {
            return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
        };
        QByteArray bytes;
        if (kind == "app1" || kind == "icc" || kind == "segments") {
            QByteArray before;
            for (int i = 0; kind == "app1" && i < 5; ++i)
                before +=
                    segment(0xE1, "http://ns.adobe.com/xmp/extension/" + QByteArray(65000, 'x'));
            for (int i = 0; kind == "icc" && i < 60; ++i)
                before += segment(0xE2, QByteArray("ICC_PROFILE\0", 12) + char(i + 1) + char(60) +
                                            QByteArray(65000, '\0'));
            if (kind == "segments")
                before = QByteArray("\xFF\xFE\x00\x02", 4).repeated(20000);
            bytes = jpeg.left(2) + before + jpeg.mid(2);
        } else if (kind.startsWith("gif")) {
            const bool placed = kind != "gif screen";
            const int screen = kind == "gif small" ? 10 : 65535;
            bytes = "GIF89a" + le16(screen) + le16(screen) +
                    QByteArray("\x80\0\0\0\0\0\xFF\xFF\xFF,", 10) + le16(placed ? 2 : 0) +
                    le16(placed ? 3 : 0) + le16(placed ? 4 : 1) + le16(placed ? 5 : 1) +
                    QByteArray("\0\x02\x02\x44\x01\0;", 8);
        } else {
            const bool rle = kind == "rle";
            const QSize size = rle ? QSize(20000, 20000) : QSize(65535, 65535);
            bytes = bmp(QImage(1, 1, QImage::Format_RGB32), rle ? 8 : 1, false);
            const auto put32 = [&bytes](int at, quint32 v) {
                for (int i = 0; i < 4; ++i)
                    bytes[at + i] = char(v >> (8 * i));
            };
            put32(18, quint32(size.width()));
            put32(22, quint32(size.height()));
            if (rle) {
                put32(30, 1);
                bytes += QByteArray("\0\x01", 2); // the end of the picture
            }
        }
        box.write(QStringLiteral("x"), bytes);
        const QByteArray path = native(box, QStringLiteral("x"));
        if (kind == "bmp1") // every row present, as holes
            QCOMPARE(::truncate(path.constData(), 62 + 8192LL * 65535), 0);
        const PictureHeader header = readPictureHeader(path);
        QTEST(header.size, "size");
        QCOMPARE(header.valid, !header.size.isEmpty());
        QTEST(header.byRegion, "byRegion");
        const LoadedPicture p = PictureLoader::load(path, QSize(100, 100));
        QTEST(p.error, "error");
        if (p.ok() && header.valid)
            QCOMPARE(p.fullSize, header.size);
    }

    void bmpMatchesQtReader_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<int>("infoSize");
        QTest::addColumn<int>("masks");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("atLeast");
        const QSize full;
        QTest::newRow("24 bits, bottom-up, odd width padded, full")
            << 24 << false << 40 << int(NoMasks) << QSize(301, 207) << full;
        QTest::newRow("24 bits, top-down, full")
            << 24 << true << 40 << int(NoMasks) << QSize(64, 9) << full;
        QTest::newRow("32 bits, full")
            << 32 << false << 40 << int(NoMasks) << QSize(65, 33) << full;
        QTest::newRow("24 bits reduced by a fraction")
            << 24 << false << 40 << int(NoMasks) << QSize(1001, 757) << QSize(390, 290);
        QTest::newRow("24 bits, top-down, reduced")
            << 24 << true << 40 << int(NoMasks) << QSize(803, 601) << QSize(100, 75);
        QTest::newRow("32 bits with masks, version 5 header, reduced")
            << 32 << false << 124 << int(UsualMasks) << QSize(640, 480) << QSize(333, 111);
        QTest::newRow("32 bits with masks after a short header, reduced one way")
            << 32 << true << 40 << int(UsualMasks) << QSize(300, 200) << QSize(1000, 77);
        QTest::newRow("version 4 header, reduced to one pixel")
            << 24 << false << 108 << int(NoMasks) << QSize(50, 40) << QSize(1, 1);
        QTest::newRow("1 bit through a palette, width off the byte grid, full")
            << 1 << false << 40 << int(NoMasks) << QSize(37, 21) << full;
        QTest::newRow("4 bits through a palette, top-down, reduced")
            << 4 << true << 40 << int(NoMasks) << QSize(203, 101) << QSize(50, 40);
        QTest::newRow("8 bits through a palette, version 5 header, full")
            << 8 << false << 124 << int(NoMasks) << QSize(65, 33) << full;
        QTest::newRow("16 bits, five each, full")
            << 16 << false << 40 << int(NoMasks) << QSize(41, 20) << full;
        QTest::newRow("16 bits with 5-6-5 masks, reduced")
            << 16 << false << 40 << int(Masks565) << QSize(300, 200) << QSize(100, 70);
        QTest::newRow("32 bits with colours in the high bytes, full")
            << 32 << false << 40 << int(HighByteMasks) << QSize(64, 48) << full;
    }
    // Rows read in chunks and averaged on the way look like Qt's reader scaled smoothly.
    void bmpMatchesQtReader()
    {
        QFETCH(int, bits);
        QFETCH(bool, topDown);
        QFETCH(int, infoSize);
        QFETCH(int, masks);
        QFETCH(QSize, picture);
        QFETCH(QSize, atLeast);
        QImage original = gradient(picture.width(), picture.height());
        QRandomGenerator rng(3);
        for (int y = 0; y < original.height(); y += 2)
            for (int x = 0; x < original.width(); ++x)
                original.setPixel(x, y, original.pixel(x, y) ^ (rng.generate() & 0x3F3F3F));
        const QByteArray bytes = bmp(original, bits, topDown, infoSize, masks);
        const auto *head = reinterpret_cast<const unsigned char *>(bytes.constData());
        QVERIFY(readBmpLayout(head, qMin<qint64>(bytes.size(), bmpHeadBytes), bytes.size()).valid);
        Sandbox box;
        box.write(QStringLiteral("x.bmp"), bytes);
        const LoadedPicture p = PictureLoader::load(native(box, QStringLiteral("x.bmp")), atLeast);
        QVERIFY(p.ok());
        QVERIFY(!p.incomplete);
        QCOMPARE(p.fullSize, picture);
        QImage expected = QImage::fromData(bytes, "bmp").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(expected.size(), picture);
        if (atLeast.isValid())
            expected = expected.scaled(picture.boundedTo(atLeast), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation);
        QCOMPARE(p.image.size(), expected.size());
        // Qt's reader widens five bits by a shift (white is 248); ours to the full range.
        if (!atLeast.isValid() && bits != 16) {
            QCOMPARE(p.image, expected);
            return;
        }
        double squares = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb a = p.image.pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                for (int d : {qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b)})
                    squares += d * d;
            }
        const double mse = squares / (3.0 * expected.width() * expected.height());
        const double psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
        QVERIFY2(psnr > 35, qPrintable(QString::number(psnr)));
    }

    void budgetRefusesFullButAllowsReduced()
    {
        Sandbox box;
        box.write(QStringLiteral("x.jpg"), encode(gradient(800, 800), "jpg"));
        const QByteArray path = native(box, QStringLiteral("x.jpg"));
        LoadLimits limits;
        limits.memoryBytes = 1000000; // the full picture alone needs 2.56 MB
        QCOMPARE(PictureLoader::load(path, {}, limits).error, int(LoadedPicture::OutOfMemory));
        QVERIFY(PictureLoader::load(path, QSize(200, 200), limits).ok());
        const LoadedPicture print = PictureLoader::loadWithinBudget(path, limits);
        QVERIFY(print.ok());
        QVERIFY(print.image.width() >= 200 && print.image.width() < 800);
        QVERIFY(print.image.sizeInBytes() < limits.memoryBytes);
        QCOMPARE(print.fullSize, QSize(800, 800));
    }

    void limitsAreNeverBadContent_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("limitBytes");
        QTest::addColumn<int>("error");
        // 600 x 600 decodes to 1.44 MB at four bytes a pixel.
        QTest::newRow("16-bit BMP within the bound") << QByteArray("bmp16") << 2000000 << 0;
        QTest::newRow("PNG named .jpg within the bound") << QByteArray("png") << 2000000 << 0;
        QTest::newRow("16-bit BMP over the bound")
            << QByteArray("bmp16") << 1000000 << int(LoadedPicture::OutOfMemory);
        QTest::newRow("PNG named .jpg over the bound")
            << QByteArray("png") << 1000000 << int(LoadedPicture::OutOfMemory);
    }
    // Pictures that Qt's readers decode: a limit refuses them as too large for memory, never as
    // damaged files, and within the bound they are shown.
    void limitsAreNeverBadContent()
    {
        QFETCH(QByteArray, format);
        QFETCH(int, limitBytes);
        Sandbox box;
        const QImage picture = gradient(600, 600);
        box.write(QStringLiteral("x.jpg"),
                  format == "bmp16" ? bmp(picture, 16, false) : encode(picture, "png"));
        LoadLimits limits;
        limits.memoryBytes = limitBytes;
        const LoadedPicture p =
            PictureLoader::load(native(box, QStringLiteral("x.jpg")), {}, limits);
        QTEST(p.error, "error");
        if (p.ok())
            QCOMPARE(p.image.size(), picture.size());
    }

    void regionMatchesTheWholeDecode_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<QRect>("before"); // decoded first: its decoder may go on
        QTest::newRow("JPEG, top-left corner")
            << QByteArray("jpg") << QRect(0, 0, 64, 48) << QSize(64, 48) << QRect();
        QTest::newRow("JPEG, off the block grid in both directions")
            << QByteArray("jpg") << QRect(37, 21, 90, 77) << QSize(90, 77) << QRect();
        QTest::newRow("JPEG, cut at the far corner")
            << QByteArray("jpg") << QRect(250, 190, 100, 100) << QSize(50, 40) << QRect();
        QTest::newRow("JPEG, below a part just read, in its columns")
            << QByteArray("jpg") << QRect(37, 121, 90, 77) << QSize(90, 77) << QRect(0, 0, 300, 64);
        QTest::newRow("JPEG, above a part just read") << QByteArray("jpg") << QRect(37, 21, 90, 77)
                                                      << QSize(90, 77) << QRect(0, 150, 300, 20);
        QTest::newRow("JPEG, wider than a part just read above")
            << QByteArray("jpg") << QRect(0, 100, 300, 50) << QSize(300, 50)
            << QRect(100, 0, 64, 64);
        QTest::newRow("BMP bottom-up, inside")
            << QByteArray("bmp") << QRect(37, 21, 90, 77) << QSize(90, 77) << QRect();
        QTest::newRow("1-bit BMP, off the byte grid")
            << QByteArray("bmp 1 bit") << QRect(37, 21, 90, 77) << QSize(90, 77) << QRect();
        QTest::newRow("BMP top-down, cut at the far corner")
            << QByteArray("bmp top-down") << QRect(250, 190, 100, 100) << QSize(50, 40) << QRect();
        QTest::newRow("JPEG claiming 60000 square, holding 300 x 230")
            << QByteArray("jpg claims") << QRect(59000, 59000, 512, 512) << QSize(512, 512)
            << QRect();
        QTest::newRow("progressive JPEG is not read by region")
            << QByteArray("progressive") << QRect(0, 0, 64, 48) << QSize() << QRect();
        QTest::newRow("region outside the picture")
            << QByteArray("jpg") << QRect(400, 0, 10, 10) << QSize() << QRect();
    }
    // A part of a picture decoded by region has the pixels of the same part of the whole
    // decode, at any offset; a claim of a huge size costs only the region.
    void regionMatchesTheWholeDecode()
    {
        QFETCH(QByteArray, format);
        QFETCH(QRect, region);
        QFETCH(QSize, expected);
        QFETCH(QRect, before);
        Sandbox box;
        const QImage picture = gradient(300, 230);
        QByteArray bytes =
            format.startsWith("bmp")
                ? bmp(picture, format.endsWith("1 bit") ? 1 : 24, format.endsWith("top-down"))
                : encode(picture, "jpg", 95, format == "progressive");
        if (format == "jpg claims")
            bytes = withClaimedSize(bytes, 60000, 60000);
        box.write(QStringLiteral("x"), bytes);
        const QByteArray path = native(box, QStringLiteral("x"));
        QCOMPARE(RegionDecoder::handles(path), format != "progressive");
        if (!before.isEmpty())
            QVERIFY(RegionDecoder::decode(path, before).ok());
        const LoadedPicture part = RegionDecoder::decode(path, region);
        if (expected.isEmpty()) {
            QCOMPARE(part.error, int(LoadedPicture::Unreadable));
            return;
        }
        QVERIFY2(part.ok(), qPrintable(part.reason));
        QCOMPARE(part.image.size(), expected);
        if (format == "jpg claims")
            return;
        const QImage whole = PictureLoader::load(path).image.copy(region);
        const auto close = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) <= 3 && qAbs(qGreen(a) - qGreen(b)) <= 3 &&
                   qAbs(qBlue(a) - qBlue(b)) <= 3;
        };
        for (int y = 0; y < expected.height(); y += 7)
            for (int x = 0; x < expected.width(); x += 5)
                QVERIFY2(close(part.image.pixel(x, y), whole.pixel(x, y)),
                         qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
    }

    void cancelledDecodeStops_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("baseline, between output rows") << QByteArray("jpg");
        QTest::newRow("progressive, between scans") << QByteArray("progressive jpg");
        QTest::newRow("BMP, between chunks of rows") << QByteArray("bmp");
    }
    // A decode whose cancel flag is set gives up at the decoder's next look at it (the loader
    // itself only looks before it opens the file), so a worker can be stopped mid-picture.
    void cancelledDecodeStops()
    {
        QFETCH(QByteArray, format);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        writer.setProgressiveScanWrite(format == "progressive jpg");
        QVERIFY(writer.write(gradient(256, 256)));
        if (format == "bmp")
            bytes = bmp(gradient(256, 256), 24, false);
        Sandbox box;
        box.write(QStringLiteral("x"), bytes);
        const int fd = ::open(native(box, QStringLiteral("x")).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        const std::atomic<bool> cancel{true};
        JpegRequest request;
        request.limits.cancel = &cancel;
        request.limits.memoryBytes = memoryBoundFloor;
        const auto *head = reinterpret_cast<const unsigned char *>(bytes.constData());
        const LoadedPicture p = format == "bmp"
                                    ? decodeBmp(fd, readBmpLayout(head, bmpHeadBytes, bytes.size()),
                                                QSize(100, 100), request.limits)
                                    : decodeJpeg(fd, request);
        ::close(fd);
        QCOMPARE(p.error, int(LoadedPicture::Cancelled));
        QVERIFY(p.image.isNull());
    }

    void hugeSparseBmpCostsLittle_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("whiteFrom"); // stored rows, counted from the file's first
        QTest::addColumn<int>("whiteTo");
        QTest::addColumn<int>("whiteRow"); // an output row they make white; -1: all black
        QTest::newRow("1 x 268 M, nothing but holes") << QSize(1, 268435456) << 0 << 0 << -1;
        QTest::newRow("20000 x 15000, a stored band of white rows")
            << QSize(20000, 15000) << 7000 << 7100 << 699 - 328;
    }
    // A file that claims billions of pixels but stores almost nothing costs a fraction of a
    // second to show reduced, and what it does store is seen.
    void hugeSparseBmpCostsLittle()
    {
        QFETCH(QSize, picture);
        QFETCH(int, whiteFrom);
        QFETCH(int, whiteTo);
        QFETCH(int, whiteRow);
        const qint64 stride = (qint64(picture.width()) * 24 + 31) / 32 * 4;
        const qint64 data = stride * picture.height();
        QByteArray head(54, '\0');
        const auto put32 = [&](int at, qint64 v) {
            for (int i = 0; i < 4; ++i)
                head[at + i] = char((v >> (8 * i)) & 0xFF);
        };
        head[0] = 'B';
        head[1] = 'M';
        put32(2, 54 + data);
        put32(10, 54);
        put32(14, 40);
        put32(18, picture.width());
        put32(22, picture.height());
        head[26] = 1;
        head[28] = 24;
        Sandbox box;
        const QByteArray path = native(box, QStringLiteral("huge.bmp"));
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::pwrite(fd, head.constData(), 54, 0), ssize_t(54));
        QCOMPARE(::ftruncate(fd, 54 + data), 0);
        const QByteArray white(int(stride), char(0xFF));
        for (int r = whiteFrom; r < whiteTo; ++r)
            QCOMPARE(::pwrite(fd, white.constData(), std::size_t(stride), 54 + r * stride),
                     ssize_t(stride));
        ::close(fd);

        timespec before = {}, after = {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
        const LoadedPicture p = PictureLoader::load(path, QSize(1000, 700));
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
        const double seconds =
            double(after.tv_sec - before.tv_sec) + double(after.tv_nsec - before.tv_nsec) / 1e9;
        QVERIFY(p.ok());
        QCOMPARE(p.fullSize, picture);
        QCOMPARE(p.image.size(), picture.boundedTo(QSize(1000, 700)));
        QVERIFY2(seconds < 1.0, qPrintable(QString::number(seconds)));
        QCOMPARE(qRed(p.image.pixel(0, 0)), 0);
        if (whiteRow >= 0)
            QVERIFY(qRed(p.image.pixel(p.image.width() / 2, whiteRow)) > 200);
    }

    void bombIsRefusedEvenWhenScaled()
    {
        Sandbox box;
        box.write(QStringLiteral("x.jpg"),
                  withClaimedSize(encode(gradient(64, 64), "jpg"), 65000, 65000));
        const LoadedPicture p =
            PictureLoader::load(native(box, QStringLiteral("x.jpg")), QSize(100, 100));
        QCOMPARE(p.error, int(LoadedPicture::OutOfMemory));
    }
};

QTEST_GUILESS_MAIN(TestPictureLoader)
#include "test_pictureloader.moc"
