// The print preview window: its opening state, the first drawing, refusals, and the page as it
// comes out of a PDF printer compared with the paper image.

#include "print/paperimage.h"
#include "print/printpreviewdialog.h"
#include "printtesttools.h"
#include "testutils.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <future>
#include <memory>

using namespace vistrel;
using namespace vistrel::test;

namespace {

const QString picturePath = QStringLiteral("/pictures/holiday/beach.jpg");

struct Fixture
{
    vistrel::test::TemporaryDir dir;
    QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    QImage picture = solidPicture({300, 200}, Qt::red);
    int pictureCalls = 0;
    QPageSize::PageSizeId paper = QPageSize::Letter;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    std::function<FullPicture()> fullRead; // the shown file's read, when it is to be read

    std::unique_ptr<PrintPreviewDialog> open()
    {
        auto source = [this](const PrintablePicture &previous) {
            ++pictureCalls;
            return PrintablePicture{picturePath, picture, QString(), 1,
                                    previous.serial == 1 ? nullptr : fullRead};
        };
        return std::make_unique<PrintPreviewDialog>(source, pdfFile(pdf, paper, orientation));
    }
};

QLineEdit *box(QWidget *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
}

// Print, and the page taken by the destination, at once or once the hand-over answers.
bool printed(PrintPreviewDialog *dialog)
{
    return dialog->printPage() ||
           QTest::qWaitFor([dialog] { return dialog->result() == QDialog::Accepted; }, 10000);
}

QPushButton *button(QWidget *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
}

void fillBoxes(QWidget *dialog, const QString &left, const QString &top, const QString &width,
               const QString &height)
{
    box(dialog, "txt_left")->setText(left);
    box(dialog, "txt_top")->setText(top);
    box(dialog, "txt_width")->setText(width);
    box(dialog, "txt_height")->setText(height);
}

// Whether the picture (red) fills the rectangle (inches) and stops at its edges, on an image in
// which one inch of paper is unitsX by unitsY pixels.
QString checkRectangle(const QImage &page, double unitsX, double unitsY, QRectF inches)
{
    const QRect r(qRound(inches.left() * unitsX), qRound(inches.top() * unitsY),
                  qRound(inches.width() * unitsX), qRound(inches.height() * unitsY));
    const int in = 2, out = 3;
    const struct
    {
        QPoint p;
        bool red;
        const char *what;
    } probes[] = {
        {{r.left() + in, r.top() + in}, true, "top-left corner inside"},
        {{r.right() - in, r.bottom() - in}, true, "bottom-right corner inside"},
        {r.center(), true, "centre"},
        {{r.left() - out, r.center().y()}, false, "left of the left edge"},
        {{r.right() + out, r.center().y()}, false, "right of the right edge"},
        {{r.center().x(), r.top() - out}, false, "above the top edge"},
        {{r.center().x(), r.bottom() + out}, false, "below the bottom edge"},
    };
    for (const auto &probe : probes) {
        if (!page.rect().contains(probe.p))
            continue;
        const QRgb c = page.pixel(probe.p);
        if (probe.red ? !isRed(c) : !isWhite(c))
            return QStringLiteral("%1 at (%2,%3) is #%4")
                .arg(QString::fromLatin1(probe.what))
                .arg(probe.p.x())
                .arg(probe.p.y())
                .arg(c & 0xffffff, 6, 16, QLatin1Char('0'));
    }
    return QString();
}

bool hasDarkPixelsInRows(const QImage &page, int fromRow, int toRow)
{
    for (int y = qMax(0, fromRow); y <= qMin(page.height() - 1, toRow); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                return true;
    return false;
}

} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void opensAfreshWithDefaults();
    void firstDrawingOnceAfterOpening();
    void focusStartsOnUpdateAndFollowsTabOrder();
    void altCCloses();
    void everyTextShowsWhole_data();
    void everyTextShowsWhole();
    void pictureRectangleOnPage_data();
    void pictureRectangleOnPage();
    void footerOnPrintedPage();
    void printedPictureKeepsFullResolution();
    void badBoxesAreRefused_data();
    void badBoxesAreRefused();
    void noPictureShowsFooterOnly();
    void noPrinterIsReported();
    void failedJobIsNotReportedAsPrinted();
    void hugeSizesDrawWithoutHarm();
    void printWaitsForAPictureThatDoesNotAnswer();
};

void TestPrintPreview::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    for (const char *tool : {"pdfinfo", "pdftoppm", "pdftotext", "pdfimages"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP("poppler-utils (pdfinfo, pdftoppm, pdftotext) is not installed");
}

void TestPrintPreview::opensAfreshWithDefaults()
{
    Fixture fx;
    {
        auto dialog = fx.open();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Show Pic"));
        // At the usual small font the design places hold; what grows is only what the font
        // needs (the boxes for "32767", the close button for its two lines).
        QCOMPARE(dialog->width(), 336);
        QVERIFY(dialog->height() >= 558 && dialog->height() < 570);
        QCOMPARE(button(dialog.get(), "Command2")->text(), QStringLiteral("Update Preview"));
        QCOMPARE(button(dialog.get(), "Command3")->text(), QStringLiteral("Print"));
        QCOMPARE(button(dialog.get(), "Command1")->text(), QStringLiteral("&Close Print Preview"));
        QCOMPARE(button(dialog.get(), "Command2")->geometry().topLeft(), QPoint(120, 520));
        QCOMPARE(button(dialog.get(), "Command2")->width(), 113);
        QCOMPARE(box(dialog.get(), "txt_height")->geometry().topLeft(), QPoint(72, 472));
        QCOMPARE(box(dialog.get(), "txt_top")->geometry().top(), 472);
        QCOMPARE(box(dialog.get(), "txt_top")->height(), 19);
        // Each box's label keeps its distance from the box and names it for screen readers.
        for (const auto &[labelName, boxName] : {std::pair{"Label2", "txt_height"},
                                                 {"Label1", "txt_width"},
                                                 {"Label4", "txt_top"},
                                                 {"Label3", "txt_left"}}) {
            const auto *label = dialog->findChild<QLabel *>(QString::fromLatin1(labelName));
            const QLineEdit *edit = box(dialog.get(), boxName);
            QCOMPARE(label->buddy(), edit);
            QCOMPARE(edit->accessibleName(), label->text());
            QVERIFY2(label->geometry().right() + 4 < edit->geometry().left(), labelName);
            QVERIFY(label->geometry().width() >= label->sizeHint().width());
        }
        fillBoxes(dialog.get(), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                  QStringLiteral("4"));
    }
    auto again = fx.open();
    QCOMPARE(box(again.get(), "txt_left")->text(), QStringLiteral("0.5"));
    QCOMPARE(box(again.get(), "txt_top")->text(), QStringLiteral("0.51"));
    QCOMPARE(box(again.get(), "txt_height")->text(), QStringLiteral("5"));
    QCOMPARE(box(again.get(), "txt_width")->text(), QStringLiteral("7"));
    QCOMPARE(fx.pictureCalls, 0); // nothing fetched before the first drawing
}

void TestPrintPreview::firstDrawingOnceAfterOpening()
{
    Fixture fx;
    auto dialog = fx.open();
    QTimer *timer = dialog->firstDrawingTimer();
    QCOMPARE(timer->interval(), 120);
    QVERIFY(timer->isSingleShot());
    QVERIFY(timer->isActive());
    QVERIFY(dialog->paperContent().isNull());

    QSignalSpy drawn(dialog.get(), &PrintPreviewDialog::previewDrawn);
    dialog->show();
    QVERIFY(drawn.wait(2000));
    QCOMPARE(drawn.count(), 1);
    QVERIFY(!timer->isActive());
    QVERIFY(!dialog->paperContent().isNull());

    QTest::mouseClick(button(dialog.get(), "Command2"), Qt::LeftButton);
    QCOMPARE(drawn.count(), 2);
    QVERIFY(!timer->isActive());
    QCOMPARE(fx.pictureCalls, 2); // taken afresh at every drawing
}

void TestPrintPreview::focusStartsOnUpdateAndFollowsTabOrder()
{
    Fixture fx;
    auto dialog = fx.open();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QStringList order;
    for (int i = 0; i < 9; ++i) {
        QWidget *stop = QApplication::focusWidget();
        order << stop->objectName();
        // Each stop says what it is to a screen reader.
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(stop);
        QVERIFY2(reader && !reader->text(QAccessible::Name).isEmpty(),
                 qPrintable(stop->objectName()));
        QTest::keyClick(stop, Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"Command2", "Picture1", "Command3", "txt_width", "txt_height",
                                 "txt_left", "txt_top", "Command1", "Command2"}));
}

void TestPrintPreview::everyTextShowsWhole_data()
{
    QTest::addColumn<double>("points");
    for (double points : {9.0, 10.0, 11.0, 12.0})
        QTest::addRow("interface font of %g pt", points) << points;
}

// Every caption and the largest entries of the boxes show whole at the font the desktop gives;
// controls never overlap and keep their order on the window.
void TestPrintPreview::everyTextShowsWhole()
{
    QFETCH(double, points);
    const QFont before = QApplication::font();
    const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
    QFont font = before;
    font.setPointSizeF(points);
    QApplication::setFont(font);
    Fixture fx;
    auto dialog = fx.open();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    const auto fits = [](QSize text, QRect room) {
        return text.width() <= room.width() && text.height() <= room.height();
    };
    QList<QWidget *> controls;
    for (QLabel *label : dialog->findChildren<QLabel *>()) {
        const QSize text = label->fontMetrics().size(0, label->text());
        QVERIFY2(fits(text, label->contentsRect()), qPrintable(label->text()));
        controls << label;
    }
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
        for (const QString &entry : {QStringLiteral("32767"), QStringLiteral("0.125")}) {
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.rect = edit->rect();
            option.lineWidth =
                edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
            const QRect room = edit->style()
                                   ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                                   .adjusted(2, 0, -2, 0);
            QVERIFY2(edit->fontMetrics().horizontalAdvance(entry) <= room.width(),
                     qPrintable(edit->objectName() + QLatin1Char(' ') + entry));
        }
        controls << edit;
    }
    for (QPushButton *pushButton : dialog->findChildren<QPushButton *>()) {
        QStyleOptionButton option;
        option.initFrom(pushButton);
        option.rect = pushButton->rect();
        const QRect room =
            pushButton->style()->subElementRect(QStyle::SE_PushButtonContents, &option, pushButton);
        const QString caption = QString(pushButton->text()).remove(QLatin1Char('&'));
        // Wrapped at blanks only: a word wider than the room would stick out of it.
        const QSize text =
            pushButton->fontMetrics().boundingRect(room, Qt::TextWordWrap, caption).size();
        QVERIFY2(fits(text, room), qPrintable(caption));
        controls << pushButton;
    }
    controls << dialog->findChild<QWidget *>(QStringLiteral("Picture1"));
    for (QWidget *one : std::as_const(controls)) {
        QVERIFY2(dialog->rect().contains(one->geometry()), qPrintable(one->objectName()));
        for (QWidget *other : std::as_const(controls))
            QVERIFY2(one == other || !one->geometry().intersects(other->geometry()),
                     qPrintable(one->objectName() + QLatin1Char('/') + other->objectName()));
    }
    const auto at = [&dialog](const char *name) {
        return dialog->findChild<QWidget *>(QString::fromLatin1(name))->geometry();
    };
    QVERIFY(at("Label5").right() < at("Label6").left());
    QVERIFY(at("txt_height").right() < at("txt_top").left());
    QCOMPARE(at("txt_height").top(), at("txt_top").top());
    QVERIFY(at("txt_height").bottom() < at("txt_width").top());
    QVERIFY(at("txt_width").bottom() < at("Command3").top());
    QVERIFY(at("Command3").right() < at("Command2").left());
    QVERIFY(at("Command2").right() < at("Command1").left());
}

void TestPrintPreview::altCCloses()
{
    Fixture fx;
    auto dialog = fx.open();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    // The access key clicks the button as a user would see it: pressed, then released shortly
    // after.
    QTest::keyClick(dialog->windowHandle(), Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 2000);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(fx.pdf));
}

void TestPrintPreview::pictureRectangleOnPage_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QRectF>("inches");
    QTest::addColumn<QString>("pageSize");

    const int letter = QPageSize::Letter, a4 = QPageSize::A4;
    const int portrait = QPageLayout::Portrait, landscape = QPageLayout::Landscape;
    QTest::newRow("defaults put the top at 1 inch") << letter << portrait << "0.5"
                                                    << "0.51"
                                                    << "7"
                                                    << "5" << QRectF(0.5, 1, 7, 5) << "612 x 792";
    QTest::newRow("top 0.5 goes to the page origin") << letter << portrait << "0.5"
                                                     << "0.5"
                                                     << "7"
                                                     << "5" << QRectF(0.5, 0, 7, 5) << "612 x 792";
    QTest::newRow("left keeps its fraction, top 2.5 goes to 2")
        << letter << portrait << "0.25"
        << "2.5"
        << "3"
        << "6" << QRectF(0.25, 2, 3, 6) << "612 x 792";
    QTest::newRow("stretched against the picture's proportions")
        << a4 << portrait << "1"
        << "1.49"
        << "2"
        << "8" << QRectF(1, 1, 2, 8) << "595 x 842";
    QTest::newRow("landscape sheet") << a4 << landscape << "1.5"
                                     << "0.49"
                                     << "8"
                                     << "4" << QRectF(1.5, 0, 8, 4) << "842 x 595";
}

void TestPrintPreview::pictureRectangleOnPage()
{
    QFETCH(int, paper);
    QFETCH(int, orientation);
    QFETCH(QString, left);
    QFETCH(QString, top);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QRectF, inches);
    QFETCH(QString, pageSize);

    ScopedServices services;
    Fixture fx;
    fx.paper = QPageSize::PageSizeId(paper);
    fx.orientation = QPageLayout::Orientation(orientation);
    auto dialog = fx.open();
    dialog->show();
    fillBoxes(dialog.get(), left, top, width, height);

    QTest::mouseClick(button(dialog.get(), "Command2"), Qt::LeftButton);
    const QImage preview = dialog->paperContent();
    const QSizeF sheet = QPageSize(fx.paper).size(QPageSize::Inch);
    const QSizeF oriented = fx.orientation == QPageLayout::Landscape ? sheet.transposed() : sheet;
    // The paper image keeps the sheet's proportions to within a pixel.
    QVERIFY(qAbs(preview.width() / oriented.width() - preview.height() / oriented.height()) <
            1.0 / oriented.height() + 1.0 / oriented.width());
    QString problem = checkRectangle(preview, preview.width() / oriented.width(),
                                     preview.height() / oriented.height(), inches);
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("preview: ") + problem));

    // The page prints once the picture is read, at once or a little later.
    QTest::mouseClick(button(dialog.get(), "Command3"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialog->result(), int(QDialog::Accepted), 10000);
    QCOMPARE(services.prompts.shown.size(), 0);
    QVERIFY(!dialog->isVisible());

    const QString info = runTool(QStringLiteral("pdfinfo"), {fx.pdf});
    QVERIFY2(info.contains(QStringLiteral("Pages:           1")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Page size:      ") + QLatin1Char(' ') + pageSize),
             qPrintable(info));
    const int dpi = 100;
    const QImage page = renderFirstPage(fx.pdf, dpi);
    QVERIFY(!page.isNull());
    problem = checkRectangle(page, dpi, dpi, inches);
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("printed: ") + problem));
}

void TestPrintPreview::footerOnPrintedPage()
{
    ScopedServices services;
    Fixture fx;
    auto dialog = fx.open();
    dialog->show();
    QVERIFY(printed(dialog.get()));

    const QString text = runTool(QStringLiteral("pdftotext"), {fx.pdf, QStringLiteral("-")});
    QVERIFY2(text.contains(picturePath + QStringLiteral(" VISTREL")), qPrintable(text));

    // Where the line lies: its top at 10 inches, its start on the whole inch that the rounded
    // free width gives, measured on the printed line itself.
    const QString boxes = runTool(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-bbox"), fx.pdf, QStringLiteral("-")});
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\""));
    double xMin = 1e9, xMax = -1e9, yMin = 1e9;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        xMin = qMin(xMin, m.captured(1).toDouble());
        yMin = qMin(yMin, m.captured(2).toDouble());
        xMax = qMax(xMax, m.captured(3).toDouble());
    }
    QVERIFY2(xMax > xMin, qPrintable(boxes));
    const double freeInches = 8.5 - (xMax - xMin) / 72.0;
    const int expectedX = int(std::nearbyint(freeInches)) / 2;
    QVERIFY2(
        qAbs(xMin - expectedX * 72.0) < 1.5,
        qPrintable(
            QStringLiteral("line starts at %1 pt, free width %2 in").arg(xMin).arg(freeInches)));
    QVERIFY2(yMin >= 719.0 && yMin < 724.0, qPrintable(QString::number(yMin)));
}

void TestPrintPreview::printedPictureKeepsFullResolution()
{
    ScopedServices services;
    Fixture fx;
    QImage detailed(3000, 2000, QImage::Format_RGB32);
    for (int y = 0; y < detailed.height(); ++y)
        for (int x = 0; x < detailed.width(); ++x)
            detailed.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    fx.picture = detailed;
    auto dialog = fx.open();
    QVERIFY(printed(dialog.get()));
    const QString list = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), fx.pdf});
    QVERIFY2(list.contains(QRegularExpression(QStringLiteral("image\\s+3000\\s+2000"))),
             qPrintable(list));
}

void TestPrintPreview::badBoxesAreRefused_data()
{
    QTest::addColumn<QByteArray>("boxName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");

    QTest::newRow("empty height") << QByteArray("txt_height") << QString() << "Height";
    QTest::newRow("letters in width") << QByteArray("txt_width") << "abc"
                                      << "Width";
    QTest::newRow("comma in left") << QByteArray("txt_left") << "0,5"
                                   << "Left";
    QTest::newRow("top beyond 16 bits") << QByteArray("txt_top") << "40000"
                                        << "Top";
    QTest::newRow("negative height") << QByteArray("txt_height") << "-5"
                                     << "Height";
}

void TestPrintPreview::badBoxesAreRefused()
{
    QFETCH(QByteArray, boxName);
    QFETCH(QString, text);
    QFETCH(QString, named);

    ScopedServices services;
    Fixture fx;
    auto dialog = fx.open();
    dialog->show();
    QVERIFY(dialog->updatePreview());
    const QImage before = dialog->paperContent().copy();

    box(dialog.get(), boxName.constData())->setText(text);
    QTest::mouseClick(button(dialog.get(), "Command2"), Qt::LeftButton);
    QCOMPARE(services.prompts.count(ScriptedPrompter::Critical), 1);
    QVERIFY2(
        services.prompts.shown.last().prompt.contains(QLatin1Char('"') + named + QLatin1Char('"')),
        qPrintable(services.prompts.shown.last().prompt));
    QCOMPARE(dialog->paperContent(), before); // the last good preview stays

    QTest::mouseClick(button(dialog.get(), "Command3"), Qt::LeftButton);
    QCOMPARE(services.prompts.count(ScriptedPrompter::Critical), 2);
    QVERIFY(dialog->isVisible());
    QVERIFY(!QFile::exists(fx.pdf));
}

void TestPrintPreview::noPictureShowsFooterOnly()
{
    ScopedServices services;
    Fixture fx;
    fx.picture = QImage();
    auto dialog = fx.open();
    dialog->show();
    QVERIFY(dialog->updatePreview());
    const QImage preview = dialog->paperContent();
    const double unitsY = preview.height() / 11.0;
    QVERIFY(!hasDarkPixelsInRows(preview, 0, int(10 * unitsY) - 1));
    QVERIFY(hasDarkPixelsInRows(preview, int(10 * unitsY), int(10.2 * unitsY)));

    QTest::mouseClick(button(dialog.get(), "Command3"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(services.prompts.shown.size(), 1, 10000);
    QVERIFY(services.prompts.shown.first().prompt.contains(QStringLiteral("no picture")));
    QVERIFY(dialog->isVisible());
    QVERIFY(!QFile::exists(fx.pdf));
}

void TestPrintPreview::noPrinterIsReported()
{
    ScopedServices services;
    PrintPreviewDialog dialog(fixedPicture(picturePath, solidPicture({10, 10}, Qt::red)),
                              [] { return DestinationLookup(); });
    dialog.show();
    QVERIFY(dialog.updatePreview()); // a sheet is still shown
    QVERIFY(!dialog.paperContent().isNull());
    QTest::mouseClick(button(&dialog, "Command3"), Qt::LeftButton);
    QCOMPARE(services.prompts.count(ScriptedPrompter::Critical), 1);
    QVERIFY(services.prompts.shown.first().prompt.contains(QStringLiteral("No printer")));
    QVERIFY(dialog.isVisible());
}

void TestPrintPreview::failedJobIsNotReportedAsPrinted()
{
    ScopedServices services;
    Fixture fx;
    fx.pdf = fx.dir.filePath(QStringLiteral("missing-folder/page.pdf"));
    auto dialog = fx.open();
    dialog->show();
    QTest::mouseClick(button(dialog.get(), "Command3"), Qt::LeftButton);
    QTRY_COMPARE(services.prompts.count(ScriptedPrompter::Critical), 1);
    QVERIFY(services.prompts.shown.first().prompt.startsWith(
        QStringLiteral("The page could not be printed: could not write ")));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

void TestPrintPreview::hugeSizesDrawWithoutHarm()
{
    ScopedServices services;
    Fixture fx;
    auto dialog = fx.open();
    dialog->show();
    fillBoxes(dialog.get(), QStringLiteral("-16000"), QStringLiteral("-16000"),
              QStringLiteral("32767"), QStringLiteral("32767"));
    QVERIFY(dialog->updatePreview());
    QVERIFY(isRed(dialog->paperContent().pixel(10, 10)));
    QVERIFY(printed(dialog.get()));
    QCOMPARE(services.prompts.shown.size(), 0);
}

// A Print waits for the shown file's read, says so, and once after a while that the picture does
// not answer; the page prints once the read answers.
void TestPrintPreview::printWaitsForAPictureThatDoesNotAnswer()
{
    ScopedServices services;
    Fixture fx;
    std::promise<void> gate;
    bool released = false;
    const auto release = qScopeGuard([&] {
        if (!released)
            gate.set_value();
    });
    fx.fullRead = [opened = gate.get_future().share(), image = fx.picture] {
        opened.wait();
        return FullPicture{image, QString()};
    };
    auto dialog = fx.open();
    dialog->show();
    auto *paper = dialog->findChild<PaperImage *>(QStringLiteral("Picture1"));
    QVERIFY(!dialog->printPage());
    QCOMPARE(paper->notice(),
             QStringLiteral("Reading the picture: the page prints once it is read..."));
    QTRY_COMPARE_WITH_TIMEOUT(paper->notice(),
                              QStringLiteral("The picture %1 does not answer: the page prints "
                                             "once it is read...")
                                  .arg(picturePath),
                              20000);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    released = true;
    gate.set_value();
    QTRY_COMPARE_WITH_TIMEOUT(dialog->result(), int(QDialog::Accepted), 20000);
    QCOMPARE(services.prompts.shown.size(), 0);
}

QTEST_MAIN(TestPrintPreview)
#include "test_printpreview.moc"
