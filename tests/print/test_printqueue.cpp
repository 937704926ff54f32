// Printing through a real print scheduler of the test's own (a private cupsd with a Letter and an
// A4 queue whose backend keeps each job's PDF): the printer and paper chosen, the page that comes
// out, and every way a page can fail to print, as the preview window shows them.

#include "common/openedfile.h"
#include "print/paperimage.h"
#include "print/printpreviewdialog.h"
#include "printtesttools.h"
#include "privatescheduler.h"
#include "testutils.h"
#include "viewer/shownfile.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <future>

using namespace vistrel;
using namespace vistrel::test;

namespace {

const QString letterQueue = QStringLiteral("VistrelLetter");
const QString a4Queue = QStringLiteral("VistrelA4");
// Queues of a real PDF printer driver (a PostScript printer description), by default page size;
// "Own" keeps the description's default (A4) and is set to Letter by the user's own option.
const QString driverQueue = QStringLiteral("VistrelPdf");
const QStringList driverPageSizes{QStringLiteral("Letter"), QStringLiteral("A4"),
                                  QStringLiteral("Legal"), QStringLiteral("none"),
                                  QStringLiteral("Own")};

QPushButton *button(QWidget *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
}

// The main window showing a red picture.
PictureSource redPicture()
{
    return fixedPicture(QStringLiteral("/pictures/red.png"), solidPicture({600, 400}, Qt::red));
}

// The red picture's bounding box on a page rendered at dpi, in inches.
QRectF redRectangle(const QImage &page, int dpi)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (isRed(page.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return QRectF(box.x() / double(dpi), box.y() / double(dpi), box.width() / double(dpi),
                  box.height() / double(dpi));
}

} // namespace

class TestPrintQueue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pageOnTheQueuesPaper_data();
    void pageOnTheQueuesPaper();
    void printerWithoutADefault();
    void failedHandOverKeepsThePreview_data();
    void failedHandOverKeepsThePreview();
    void noPrinterToldApartFromNoService_data();
    void noPrinterToldApartFromNoService();
    void heldJobWaitsForRelease();
    void serviceThatDoesNotAnswer_data();
    void serviceThatDoesNotAnswer();
    void enterInABoxRedrawsNeverPrints_data();
    void enterInABoxRedrawsNeverPrints();
    void footerAndPictureFromOneMoment();
    void fileSlowToReadPrintsOnceRead();
    void printsTheFileAsShown_data();
    void printsTheFileAsShown();

private:
    // Clicks Print and waits for the PDF the queue produces.
    void printAndCollect(PrintPreviewDialog &dialog, const QString &queue, QString &produced);
    void setDefault(const QString &queue);
    void addQueues();

    PrivateScheduler m_scheduler;
};

void TestPrintQueue::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // No skip: a machine that cannot run the scheduler cannot show that printing works.
    QVERIFY2(m_scheduler.start(), qPrintable(QStringLiteral("the private print scheduler did not "
                                                            "start (install cups-daemon): ") +
                                             m_scheduler.error()));
    addQueues();
}

void TestPrintQueue::addQueues()
{
    QVERIFY2(m_scheduler.addQueue(letterQueue, QStringLiteral("Letter")),
             qPrintable(m_scheduler.error()));
    QVERIFY2(m_scheduler.addQueue(a4Queue, QStringLiteral("A4")), qPrintable(m_scheduler.error()));
    for (const QString &size : driverPageSizes)
        QVERIFY2(m_scheduler.addDriverQueue(driverQueue + size, size == QLatin1String("Own")
                                                                    ? QStringLiteral("driver")
                                                                    : size),
                 qPrintable(m_scheduler.error()));
    QVERIFY2(m_scheduler.admin(QStringLiteral("lpoptions"),
                               {QStringLiteral("-p"), driverQueue + QStringLiteral("Own"),
                                QStringLiteral("-o"), QStringLiteral("media=Letter")}),
             qPrintable(m_scheduler.error()));
}

void TestPrintQueue::setDefault(const QString &queue)
{
    QVERIFY2(m_scheduler.admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), queue}),
             qPrintable(m_scheduler.error()));
}

void TestPrintQueue::printAndCollect(PrintPreviewDialog &dialog, const QString &queue,
                                     QString &produced)
{
    // The sheet shown is the printer's before the user prints.
    QTRY_VERIFY(dialog.printerKnown());
    const QStringList before = m_scheduler.documents(queue);
    QTest::mouseClick(button(&dialog, "Command3"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!(produced = m_scheduler.newDocument(queue, before)).isEmpty(), 30000);
}

void TestPrintQueue::pageOnTheQueuesPaper_data()
{
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QSizeF>("sheetInches");
    QTest::addColumn<QString>("pageSize");
    QTest::addColumn<QRectF>("picture"); // left, top, width, height as typed (inches)

    const QSizeF letter(8.5, 11), a4(8.27, 11.69), legal(8.5, 14);
    const QRectF usual(0.5, 0.51, 7, 5), small(0.25, 2, 3, 2);
    QTest::newRow("Letter queue") << letterQueue << letter << "612 x 792" << usual;
    QTest::newRow("A4 queue") << a4Queue << a4 << "595 x 842" << usual;
    QTest::newRow("driver, Letter page size")
        << driverQueue + QStringLiteral("Letter") << letter << "612 x 792" << usual;
    QTest::newRow("driver, Letter page size, 3 x 2 in at 0.25, 2")
        << driverQueue + QStringLiteral("Letter") << letter << "612 x 792" << small;
    QTest::newRow("driver, A4 page size")
        << driverQueue + QStringLiteral("A4") << a4 << "595 x 842" << usual;
    QTest::newRow("driver, Legal page size")
        << driverQueue + QStringLiteral("Legal") << legal << "612 x 1008" << small;
    QTest::newRow("driver, Letter by the user's own option")
        << driverQueue + QStringLiteral("Own") << letter << "612 x 792" << usual;
    // Without a default anywhere, the locale's paper.
    const bool inches = localePaper().id() == QPageSize::Letter;
    QTest::newRow("driver without a default page size")
        << driverQueue + QStringLiteral("none") << (inches ? letter : a4)
        << (inches ? "612 x 792" : "595 x 842") << usual;
}

void TestPrintQueue::pageOnTheQueuesPaper()
{
    QFETCH(QString, queue);
    QFETCH(QSizeF, sheetInches);
    QFETCH(QString, pageSize);
    QFETCH(QRectF, picture);
    setDefault(queue);

    ScopedServices services;
    PrintPreviewDialog dialog(redPicture());
    QSignalSpy drawn(&dialog, &PrintPreviewDialog::previewDrawn);
    const auto type = [&dialog](const char *box, double inches) {
        dialog.findChild<QLineEdit *>(QString::fromLatin1(box))->setText(QString::number(inches));
    };
    type("txt_left", picture.left());
    type("txt_top", picture.top());
    type("txt_width", picture.width());
    type("txt_height", picture.height());
    dialog.show();
    QVERIFY(drawn.wait(5000));
    QTRY_VERIFY(dialog.printerKnown());
    // The sheet on screen has the queue's proportions, to within a pixel.
    const QImage preview = dialog.paperContent();
    QVERIFY2(qAbs(preview.width() / double(preview.height()) -
                  sheetInches.width() / sheetInches.height()) < 1.5 / preview.height(),
             qPrintable(QStringLiteral("%1x%2").arg(preview.width()).arg(preview.height())));

    QString pdf;
    printAndCollect(dialog, queue, pdf);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(services.prompts.shown.size(), 0);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QStringLiteral("Page size:       ") + pageSize + QLatin1Char(' ')),
             qPrintable(info));

    const int dpi = 200;
    const QRectF printed = redRectangle(renderFirstPage(pdf, dpi), dpi);
    qInfo("%s: %s; picture at %.3f, %.3f in, %.3f x %.3f in", qPrintable(queue),
          qPrintable(info.section(QStringLiteral("Page size:"), 1)
                         .section(QLatin1Char('\n'), 0, 0)
                         .trimmed()),
          printed.x(), printed.y(), printed.width(), printed.height());
    // The top margin is a whole number of inches.
    const QRectF expected(picture.left(), std::nearbyint(picture.top()), picture.width(),
                          picture.height());
    for (const auto &[got, wanted] : {std::pair{printed.left(), expected.left()},
                                      {printed.top(), expected.top()},
                                      {printed.width(), expected.width()},
                                      {printed.height(), expected.height()}})
        QVERIFY2(qAbs(got - wanted) <= 0.01, qPrintable(QString::number(got)));
}

void TestPrintQueue::printerWithoutADefault()
{
    // A queue made the default and then removed leaves the scheduler without a default.
    const QString gone = QStringLiteral("VistrelGone");
    QVERIFY(m_scheduler.addQueue(gone, QStringLiteral("Letter")));
    setDefault(gone);
    QVERIFY(m_scheduler.admin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), gone}));

    ScopedServices services;
    PrintPreviewDialog dialog(redPicture());
    dialog.show();
    // The first installed printer by name: the A4 queue, on its own paper.
    QString pdf;
    printAndCollect(dialog, a4Queue, pdf);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(services.prompts.shown.size(), 0);
    QVERIFY(runTool(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("595 x 842")));
}

void TestPrintQueue::failedHandOverKeepsThePreview_data()
{
    // Commands on the queue (%1) that make the fault and mend it; "stop" and "start" are the
    // scheduler's.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("undo");
    QTest::addColumn<QString>("told");

    QTest::newRow("queue disabled") << "cupsdisable -r Out_of_paper %1"
                                    << "cupsenable %1"
                                    << "the printer \"VistrelLetter\" is disabled (Out_of_paper)";
    QTest::newRow("queue rejecting jobs")
        << "cupsreject -r Maintenance %1"
        << "cupsaccept %1"
        << "the printer \"VistrelLetter\" is not accepting jobs (Maintenance)";
    QTest::newRow("scheduler stopped after the preview opened")
        << "stop"
        << "start"
        << "the print service is not running (nothing answers at ";
}

void TestPrintQueue::failedHandOverKeepsThePreview()
{
    QFETCH(QString, fault);
    QFETCH(QString, undo);
    QFETCH(QString, told);
    setDefault(letterQueue);

    ScopedServices services;
    PrintPreviewDialog dialog(redPicture());
    dialog.show();
    QTRY_VERIFY(dialog.printerKnown());
    const QStringList before = m_scheduler.documents(letterQueue);
    QVERIFY2(m_scheduler.run(fault.arg(letterQueue)), qPrintable(m_scheduler.error()));

    QTest::mouseClick(button(&dialog, "Command3"), Qt::LeftButton);
    QTRY_COMPARE(services.prompts.shown.size(), 1);
    QVERIFY2(m_scheduler.run(undo.arg(letterQueue)), qPrintable(m_scheduler.error()));
    QCOMPARE(services.prompts.count(ScriptedPrompter::Critical), 1);
    const QString prompt = services.prompts.shown.first().prompt;
    QVERIFY2(prompt.startsWith(QStringLiteral("The page could not be printed: ") + told),
             qPrintable(prompt));
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_scheduler.documents(letterQueue), before);
    // Nothing is left waiting to print later, unexpectedly, beside the next try.
    QCOMPARE(runTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), letterQueue}), QString());

    // Mended, the same window prints.
    QString pdf;
    printAndCollect(dialog, letterQueue, pdf);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(services.prompts.shown.size(), 1);
}

void TestPrintQueue::noPrinterToldApartFromNoService_data()
{
    QTest::addColumn<bool>("serviceRuns");
    QTest::addColumn<QString>("told");

    QTest::newRow("no printer installed") << true << "No printer is installed.";
    QTest::newRow("print service not running") << false << "The print service is not running";
}

void TestPrintQueue::noPrinterToldApartFromNoService()
{
    QFETCH(bool, serviceRuns);
    QFETCH(QString, told);
    if (serviceRuns) {
        const QStringList queues = runTool(QStringLiteral("lpstat"), {QStringLiteral("-e")})
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!queues.isEmpty());
        for (const QString &queue : queues)
            QVERIFY(m_scheduler.admin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue}));
    } else {
        QVERIFY(m_scheduler.stop());
    }

    ScopedServices services;
    {
        PrintPreviewDialog dialog(redPicture());
        dialog.show();
        QTRY_VERIFY(dialog.printerKnown());
        QVERIFY(dialog.updatePreview()); // a sheet is shown all the same
        QTest::mouseClick(button(&dialog, "Command3"), Qt::LeftButton);
        QTRY_COMPARE(services.prompts.shown.size(), 1);
        QVERIFY(dialog.isVisible());
    }
    if (serviceRuns) {
        addQueues();
    } else {
        QVERIFY(m_scheduler.start());
    }
    QCOMPARE(services.prompts.count(ScriptedPrompter::Critical), 1);
    QVERIFY2(services.prompts.shown.first().prompt.startsWith(told),
             qPrintable(services.prompts.shown.first().prompt));
}

void TestPrintQueue::heldJobWaitsForRelease()
{
    setDefault(letterQueue);
    const auto holding = [this](const char *until) {
        return m_scheduler.admin(
            QStringLiteral("lpadmin"),
            {QStringLiteral("-p"), letterQueue, QStringLiteral("-o"),
             QStringLiteral("job-hold-until-default=") + QLatin1String(until)});
    };
    QVERIFY(holding("indefinite"));
    const auto noHold = qScopeGuard([&] { holding("no-hold"); });
    ScopedServices services;
    PrintPreviewDialog dialog(redPicture());
    dialog.show();
    QTRY_VERIFY(dialog.printerKnown());
    const QStringList before = m_scheduler.documents(letterQueue);
    QTest::mouseClick(button(&dialog, "Command3"), Qt::LeftButton);
    QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
    // Handed over and told as waiting, not as a failure; nothing cancelled.
    QCOMPARE(services.prompts.count(ScriptedPrompter::Information), 1);
    QCOMPARE(services.prompts.shown.size(), 1);
    const QString told = services.prompts.shown.first().prompt;
    QVERIFY2(told.startsWith(QStringLiteral("The page was handed to the printer "
                                            "\"VistrelLetter\", which holds it for release")),
             qPrintable(told));
    const QString waiting = runTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), letterQueue});
    QVERIFY2(waiting.startsWith(letterQueue + QLatin1Char('-')), qPrintable(waiting));
    // Released, it prints.
    const QString job = waiting.section(QLatin1Char(' '), 0, 0);
    QVERIFY2(
        m_scheduler.admin(QStringLiteral("lp"), {QStringLiteral("-i"), job, QStringLiteral("-H"),
                                                 QStringLiteral("resume")}),
        qPrintable(m_scheduler.error()));
    QTRY_VERIFY_WITH_TIMEOUT(!m_scheduler.newDocument(letterQueue, before).isEmpty(), 30000);
}

void TestPrintQueue::serviceThatDoesNotAnswer_data()
{
    // stopWhen: the scheduler stops answering before the window opens ("open") or after the
    // printer was found ("print"); close: the user closes instead of waiting.
    QTest::addColumn<QString>("stopWhen");
    QTest::addColumn<bool>("close");
    QTest::newRow("lookup pending, Print waits for it") << "open" << false;
    QTest::newRow("lookup pending, Close at once") << "open" << true;
    QTest::newRow("hand-over pending, Print returns at once") << "print" << false;
}

// The window goes on answering while the print service does not: the lookup and the hand-over
// wait off the window's thread, and the page prints once the service answers.
void TestPrintQueue::serviceThatDoesNotAnswer()
{
    QFETCH(QString, stopWhen);
    QFETCH(bool, close);
    setDefault(a4Queue);
    auto resume = qScopeGuard([this] { m_scheduler.run(QStringLiteral("resume")); });
    ScopedServices services;
    if (stopWhen == QLatin1String("open"))
        QVERIFY(m_scheduler.run(QStringLiteral("pause")));
    const int threads = test::threadCount();
    auto dialog = std::make_unique<PrintPreviewDialog>(redPicture());
    QSignalSpy drawn(dialog.get(), &PrintPreviewDialog::previewDrawn);
    dialog->show();
    QVERIFY(drawn.wait(5000));
    if (stopWhen == QLatin1String("open")) {
        QVERIFY(!dialog->printerKnown()); // drawn while the service does not answer
        QVERIFY(!dialog->findChild<PaperImage *>()->notice().isEmpty());
    } else {
        QTRY_VERIFY(dialog->printerKnown());
        QVERIFY(m_scheduler.run(QStringLiteral("pause")));
    }
    const QStringList before = m_scheduler.documents(a4Queue);
    if (close) {
        QTest::mouseClick(button(dialog.get(), "Command1"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        dialog.reset(); // gone before the service answers: nothing comes late
    } else {
        QTest::mouseClick(button(dialog.get(), "Command3"), Qt::LeftButton);
        QVERIFY(dialog->isVisible()); // the page waits for the service
    }
    QVERIFY(m_scheduler.run(QStringLiteral("resume")));
    if (close) {
        // The lookup answers once the service does, to a window that is gone.
        QVERIFY(test::detachedWorkEnded(threads));
        QCOMPARE(m_scheduler.documents(a4Queue), before);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 30000);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QTRY_VERIFY_WITH_TIMEOUT(!m_scheduler.newDocument(a4Queue, before).isEmpty(), 30000);
    }
    QCOMPARE(services.prompts.shown.size(), 0);
}

void TestPrintQueue::enterInABoxRedrawsNeverPrints_data()
{
    QTest::addColumn<QString>("box");
    for (const char *box : {"txt_width", "txt_height", "txt_left", "txt_top"})
        QTest::newRow(box) << QString::fromLatin1(box);
}

void TestPrintQueue::enterInABoxRedrawsNeverPrints()
{
    QFETCH(QString, box);
    setDefault(letterQueue);
    ScopedServices services;
    PrintPreviewDialog dialog(redPicture());
    QSignalSpy drawn(&dialog, &PrintPreviewDialog::previewDrawn);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(drawn.wait(5000));
    QTRY_VERIFY(dialog.printerKnown());
    const int drawings = int(drawn.count());
    const int jobsBefore = m_scheduler.jobCount(letterQueue);

    auto *edit = dialog.findChild<QLineEdit *>(box);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->setText(QStringLiteral("2"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    QCOMPARE(drawn.count(), drawings + 2);
    QVERIFY(dialog.isVisible());
    // A job is the scheduler's as soon as Print returns: there is none.
    QCOMPARE(m_scheduler.jobCount(letterQueue), jobsBefore);
    QCOMPARE(services.prompts.shown.size(), 0);
}

void TestPrintQueue::footerAndPictureFromOneMoment()
{
    setDefault(letterQueue);
    // A slide show moving on under the open preview: label and picture change together in the
    // main window, and each drawing must take them together.
    struct Slide
    {
        QString label;
        QImage picture;
    };
    const Slide slides[] = {{QStringLiteral("/slides/red.png"), solidPicture({60, 40}, Qt::red)},
                            {QStringLiteral("/slides/blue.png"), solidPicture({60, 40}, Qt::blue)}};
    int shown = 0;
    const auto source = [&](const PrintablePicture &) {
        return PrintablePicture{
            slides[shown].label, slides[shown].picture, QString(), quint64(shown + 1), {}};
    };
    ScopedServices services;
    PrintPreviewDialog dialog(source);
    QSignalSpy drawn(&dialog, &PrintPreviewDialog::previewDrawn);
    dialog.show();
    shown = 1; // the show moves on before the first drawing
    QVERIFY(drawn.wait(5000));
    QCOMPARE(dialog.drawnPicture().label, slides[1].label);
    const QImage preview = dialog.paperContent();
    QCOMPARE(QColor(preview.pixel(preview.width() / 2, preview.height() / 4)), QColor(Qt::blue));

    shown = 0; // and on again before Print
    QString pdf;
    printAndCollect(dialog, letterQueue, pdf);
    if (QTest::currentTestFailed())
        return;
    const QString text = runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY2(text.contains(slides[0].label + QStringLiteral(" VISTREL")), qPrintable(text));
    QVERIFY(isRed(renderFirstPage(pdf, 20).pixel(80, 60)));
}

// The shown file's storage answers late: the preview draws the picture as shown on screen at
// once, and Print waits for the file's own picture, which is what prints.
void TestPrintQueue::fileSlowToReadPrintsOnceRead()
{
    setDefault(letterQueue);
    std::promise<void> answer;
    const std::shared_future<void> answered = answer.get_future().share();
    const QImage full = solidPicture({400, 300}, Qt::red);
    const auto source = [&](const PrintablePicture &previous) {
        if (previous.serial == 1)
            return previous;
        return PrintablePicture{QStringLiteral("/slow/red.png"), solidPicture({40, 30}, Qt::blue),
                                QString(), 1, [answered, full] {
                                    answered.wait();
                                    return FullPicture{full, QString()};
                                }};
    };
    ScopedServices services;
    PrintPreviewDialog dialog(source);
    QSignalSpy drawn(&dialog, &PrintPreviewDialog::previewDrawn);
    dialog.show();
    QVERIFY(drawn.wait(5000)); // drawn while the file has not answered
    const QImage preview = dialog.paperContent();
    QCOMPARE(QColor(preview.pixel(preview.width() / 2, preview.height() / 4)), QColor(Qt::blue));
    QTRY_VERIFY(dialog.printerKnown());
    const QStringList before = m_scheduler.documents(letterQueue);
    QVERIFY(!dialog.printPage()); // waits for the file, which answers only when told below
    QVERIFY(!dialog.findChild<PaperImage *>()->notice().isEmpty());
    QCOMPARE(m_scheduler.newDocument(letterQueue, before), QString());
    answer.set_value();
    QString pdf;
    QTRY_VERIFY_WITH_TIMEOUT(!(pdf = m_scheduler.newDocument(letterQueue, before)).isEmpty(),
                             30000);
    QVERIFY(isRed(renderFirstPage(pdf, 20).pixel(80, 60)));
    QCOMPARE(services.prompts.shown.size(), 0);
}

void TestPrintQueue::printsTheFileAsShown_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("shownAtFullSize");
    QTest::addColumn<QSize>("printedPixels");
    QTest::addColumn<QString>("note");

    const QSize full(400, 300), shown(40, 30);
    QTest::newRow("replaced by another file") << "replace" << false << full << QString();
    QTest::newRow("deleted") << "delete" << false << full << QString();
    QTest::newRow("changed in place, shown reduced")
        << "overwrite" << false << shown << "The file was changed on disk after it was shown";
    QTest::newRow("changed in place, shown at its own size")
        << "overwrite" << true << full << QString();
}

void TestPrintQueue::printsTheFileAsShown()
{
    QFETCH(QString, change);
    QFETCH(bool, shownAtFullSize);
    QFETCH(QSize, printedPixels);
    QFETCH(QString, note);
    setDefault(letterQueue);

    vistrel::test::TemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("shown.png"));
    const QImage red = solidPicture({400, 300}, Qt::red);
    QVERIFY(red.save(path));
    // Held as the display holds it: with the file as its look opened it.
    ShownFile shownFile;
    shownFile.hold(QFile::encodeName(path), shownAtFullSize ? red : red.scaled(40, 30),
                   shownAtFullSize, OpenedFile::open(QFile::encodeName(path)));

    const QImage blue = solidPicture({400, 300}, Qt::blue);
    if (change == QLatin1String("replace")) {
        const QString other = folder.filePath(QStringLiteral("other.png"));
        QVERIFY(blue.save(other));
        QVERIFY(::rename(QFile::encodeName(other).constData(),
                         QFile::encodeName(path).constData()) == 0);
    } else if (change == QLatin1String("delete")) {
        QVERIFY(QFile::remove(path));
    } else {
        QVERIFY(blue.save(path)); // the same file, truncated and written again
    }

    ScopedServices services;
    PrintPreviewDialog dialog([&](const PrintablePicture &previous) {
        return takePrintable(path, &shownFile, previous);
    });
    dialog.show();
    QString pdf;
    printAndCollect(dialog, letterQueue, pdf);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(isRed(renderFirstPage(pdf, 20).pixel(80, 60)));
    const QString images = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    QVERIFY2(images.contains(QRegularExpression(QStringLiteral("image\\s+%1\\s+%2\\s")
                                                    .arg(printedPixels.width())
                                                    .arg(printedPixels.height()))),
             qPrintable(images));
    if (note.isEmpty()) {
        QCOMPARE(services.prompts.shown.size(), 0);
    } else {
        QCOMPARE(services.prompts.count(ScriptedPrompter::Information), 1);
        QVERIFY2(services.prompts.shown.first().prompt.startsWith(note),
                 qPrintable(services.prompts.shown.first().prompt));
    }
}

QTEST_MAIN(TestPrintQueue)
#include "test_printqueue.moc"
