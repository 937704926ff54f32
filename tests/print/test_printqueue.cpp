// End to end through a real print queue: the window's Print button on the system's default
// printer, a CUPS queue on the PDF backend (tests/print/setup-print-queue.sh makes one), and the
// PDF file the queue writes.

#include "print/printpreviewdialog.h"
#include "printtesttools.h"
#include "testutils.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>

using namespace vistrel;
using namespace vistrel::test;

namespace {

QString outputFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("VISTREL_PRINT_OUT");
    return fromEnvironment.isEmpty() ? QStringLiteral("/var/spool/cups-pdf/vistrel")
                                     : fromEnvironment;
}

QSet<QString> pdfsIn(const QString &folder)
{
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

class TestPrintQueue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printButtonReachesTheQueue();
};

void TestPrintQueue::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString scheduler = runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")});
    if (!scheduler.contains(QStringLiteral("is running")))
        QSKIP("cupsd is not running here; tests/print/setup-print-queue.sh starts it");
}

void TestPrintQueue::printButtonReachesTheQueue()
{
    const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
    QVERIFY2(!queue.isNull(), "cupsd runs but there is no default printer; run "
                              "tests/print/setup-print-queue.sh");
    const QString folder = outputFolder();
    QVERIFY2(QFileInfo(folder).isDir(),
             qPrintable(QStringLiteral("no output folder %1 for the PDF queue").arg(folder)));
    const QSet<QString> before = pdfsIn(folder);

    ScopedServices services;
    const QString label =
        QStringLiteral("/pictures/queue/test-%1.jpg").arg(QDateTime::currentMSecsSinceEpoch());
    PrintPreviewDialog dialog(label, [] { return solidPicture({400, 300}, Qt::red); });
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
    QCOMPARE(services.prompts.shown.size(), 0);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    // The queue writes the file a moment later; it is complete once pdfinfo can read it.
    QString produced;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const QString &name : pdfsIn(folder) - before) {
                const QString path = QDir(folder).filePath(name);
                if (!runTool(QStringLiteral("pdfinfo"), {path}).isNull()) {
                    produced = path;
                    return true;
                }
            }
            return false;
        }(),
        60000);

    // The queue's sheet, whatever its size: the picture at 0.5 inch across and 1 inch down.
    const int dpi = 50;
    const QImage page = renderFirstPage(produced, dpi);
    QVERIFY(!page.isNull());
    QVERIFY(isRed(page.pixel(qRound(0.6 * dpi), qRound(1.1 * dpi))));
    QVERIFY(isRed(page.pixel(qRound(7.4 * dpi), qRound(5.9 * dpi))));
    QVERIFY(isWhite(page.pixel(qRound(0.4 * dpi), qRound(3.0 * dpi))));
    QVERIFY(isWhite(page.pixel(qRound(4.0 * dpi), qRound(0.9 * dpi))));
    QVERIFY(isWhite(page.pixel(qRound(4.0 * dpi), qRound(6.1 * dpi))));
    // The footer line: ink just below 10 inches and nowhere between the picture and it. (The
    // queue turns the page into PostScript and back, so the text itself is not extractable.)
    const auto inkInRows = [&page](double fromInch, double toInch) {
        for (int y = qRound(fromInch * dpi); y <= qRound(toInch * dpi); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    QVERIFY(inkInRows(10.0, 10.2));
    QVERIFY(!inkInRows(6.1, 9.95));
    QFile::remove(produced);
}

QTEST_MAIN(TestPrintQueue)
#include "test_printqueue.moc"
