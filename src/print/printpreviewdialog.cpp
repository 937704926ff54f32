#include "print/printpreviewdialog.h"

#include "common/services.h"
#include "common/units.h"
#include "print/cupsprinter.h"
#include "print/pagesurface.h"
#include "print/paperimage.h"
#include "print/picturelink.h"
#include "print/previewlayout.h"
#include "print/printerlink.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace vistrel {

namespace {

constexpr double pixelsPerInch = 96.0;
constexpr int firstDrawingMs = 120;

QLineEdit *addBox(QWidget *parent, const char *name, QRect geometry)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

// A box's label names the box for screen readers.
QLabel *addLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                 QLineEdit *box = nullptr)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    if (box) {
        label->setBuddy(box);
        box->setAccessibleName(text);
    }
    return label;
}

} // namespace

DestinationFinder PrintPreviewDialog::systemPrinter()
{
    return &CupsPrinter::find;
}

void PrintPreviewDialog::showPreview(PictureSource picture, DestinationFinder printers)
{
    PrintPreviewDialog dialog(std::move(picture), std::move(printers));
    dialog.exec();
}

PrintPreviewDialog::PrintPreviewDialog(PictureSource picture, DestinationFinder printers,
                                       QWidget *parent)
    : QDialog(parent), m_pictures(new PictureLink(std::move(picture), this)),
      m_link(new PrinterLink(std::move(printers), this))
{
    setObjectName(QStringLiteral("frm_PrintPreview"));
    setWindowTitle(QStringLiteral("Show Pic"));
    setModal(true);
    setFixedSize(units::toPixels(5040), units::toPixels(8370));

    m_paper = m_link->paper();
    m_picture1 = new PaperImage(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(units::toPixels(120, 120, 4815, 6495));
    m_paperBox = m_picture1->interiorSize();

    m_txtHeight = addBox(this, "txt_height", units::toPixels(1080, 7080, 495, 285));
    m_txtWidth = addBox(this, "txt_width", units::toPixels(1080, 7440, 495, 285));
    m_txtTop = addBox(this, "txt_top", units::toPixels(2400, 7080, 495, 285));
    m_txtLeft = addBox(this, "txt_left", units::toPixels(2400, 7440, 495, 285));
    PreviewControls controls;
    controls.window = this;
    controls.paper = m_picture1;
    controls.height = m_txtHeight;
    controls.width = m_txtWidth;
    controls.top = m_txtTop;
    controls.left = m_txtLeft;
    controls.sizeHeading = addLabel(this, "Label5", QStringLiteral("Picture Size"),
                                    units::toPixels(480, 6720, 1215, 255));
    controls.heightLabel = addLabel(this, "Label2", QStringLiteral("Height"),
                                    units::toPixels(480, 7080, 495, 255), m_txtHeight);
    controls.widthLabel = addLabel(this, "Label1", QStringLiteral("Width"),
                                   units::toPixels(480, 7440, 495, 255), m_txtWidth);
    controls.marginHeading =
        addLabel(this, "Label6", QStringLiteral("Margins"), units::toPixels(1800, 6720, 975, 255));
    controls.topLabel = addLabel(this, "Label4", QStringLiteral("Top"),
                                 units::toPixels(1800, 7080, 495, 255), m_txtTop);
    controls.leftLabel = addLabel(this, "Label3", QStringLiteral("Left"),
                                  units::toPixels(1800, 7440, 495, 255), m_txtLeft);

    m_command3 = new QPushButton(this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command3->setGeometry(units::toPixels(240, 7800, 1455, 495));
    m_command2 = new QPushButton(this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setGeometry(units::toPixels(1800, 7800, 1695, 495));
    m_command1 = new WrappingButton(QStringLiteral("&Close Print Preview"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(units::toPixels(3600, 7800, 1335, 495));
    controls.print = m_command3;
    controls.update = m_command2;
    controls.close = m_command1;

    QWidget::setTabOrder(m_command2, m_picture1);
    QWidget::setTabOrder(m_picture1, m_command3);
    QWidget::setTabOrder(m_command3, m_txtWidth);
    QWidget::setTabOrder(m_txtWidth, m_txtHeight);
    QWidget::setTabOrder(m_txtHeight, m_txtLeft);
    QWidget::setTabOrder(m_txtLeft, m_txtTop);
    QWidget::setTabOrder(m_txtTop, m_command1);
    m_command2->setFocus();
    // Enter in a box redraws the preview; only Print itself prints.
    m_command2->setDefault(true);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(firstDrawingMs);

    connect(m_timer1, &QTimer::timeout, this, &PrintPreviewDialog::Timer1_Timer);
    connect(m_command1, &QPushButton::clicked, this, &PrintPreviewDialog::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &PrintPreviewDialog::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &PrintPreviewDialog::Command3_Click);
    connect(m_link, &PrinterLink::lookedUp, this, &PrintPreviewDialog::printerFound);
    connect(m_link, &PrinterLink::handedOver, this, &PrintPreviewDialog::pageHandedOver);
    // The shown file read at full resolution: the page shows it, and a Print waiting goes on.
    connect(m_pictures, &PictureLink::silent, this, [this] {
        if (m_printWhenRead)
            m_picture1->setNotice(m_pictures->readingNotice());
    });
    connect(m_pictures, &PictureLink::fullPictureRead, this, [this] {
        if (m_drawnPage)
            drawPreview(*m_drawnPage);
        if (const std::optional<PageParams> page = std::exchange(m_printWhenRead, std::nullopt)) {
            m_picture1->setNotice(QString());
            if (printTaken(*page))
                accept();
        }
    });

    Form_Load();
    // With the captions and entries in place, every text is given the room its font needs.
    placePreviewControls(controls);
    // A print service that answers at once gives the sheet before the window shows; a slow one
    // leaves the locale's sheet shown, and says so, until it answers.
    m_link->lookUp();
    if (m_link->lookingUp())
        m_picture1->setNotice(QStringLiteral("Looking up the printer..."));
}

PrintPreviewDialog::~PrintPreviewDialog() = default;

const QImage &PrintPreviewDialog::paperContent() const
{
    return m_picture1->canvas();
}

void PrintPreviewDialog::Form_Load()
{
    const PageBoxTexts defaults = defaultPageBoxTexts();
    m_txtLeft->setText(defaults.left);
    m_txtTop->setText(defaults.top);
    m_txtHeight->setText(defaults.height);
    m_txtWidth->setText(defaults.width);
    m_command2->setText(QStringLiteral("Update Preview"));
    m_command3->setText(QStringLiteral("Print"));
    // The sheet is drawn only once the window is on screen.
    m_timer1->start();
}

void PrintPreviewDialog::Timer1_Timer()
{
    updatePreview();
}

void PrintPreviewDialog::Command1_Click()
{
    reject();
}

void PrintPreviewDialog::Command2_Click()
{
    updatePreview();
}

void PrintPreviewDialog::Command3_Click()
{
    if (printPage())
        accept();
}

std::optional<PageParams> PrintPreviewDialog::readBoxes() const
{
    PageBoxTexts texts;
    texts.height = m_txtHeight->text();
    texts.width = m_txtWidth->text();
    texts.left = m_txtLeft->text();
    texts.top = m_txtTop->text();
    const PageParamsResult result = readPageParams(texts);
    if (!result.params)
        prompter().critical(result.problem, errorTitle());
    return result.params;
}

void PrintPreviewDialog::takeShownPicture()
{
    // The main window's timers go on while this window is open (a slide show may move on), so
    // the label and the picture are taken together at every drawing.
    m_pictures->take();
}

const PrintablePicture &PrintPreviewDialog::drawnPicture() const
{
    return m_pictures->current();
}

bool PrintPreviewDialog::printerKnown() const
{
    return !m_link->lookingUp();
}

void PrintPreviewDialog::printerFound()
{
    const QPageLayout before = m_paper;
    m_paper = m_link->paper();
    m_picture1->setNotice(QString());
    const bool sheetChanged = !m_paper.pageSize().isEquivalentTo(before.pageSize()) ||
                              m_paper.orientation() != before.orientation();
    if (m_drawnPage && sheetChanged)
        updatePreview();
    if (const std::optional<PageParams> page = std::exchange(m_printWhenFound, std::nullopt))
        if (printOnFoundPrinter(m_sheetSeen, *page))
            accept();
}

double PrintPreviewDialog::scalepreview(PaperImage *pic)
{
    const QSizeF paper = m_paper.fullRect(QPageLayout::Inch).size();
    // Fitted into the design box every time, so repeated redraws never shrink the image.
    const PreviewScale scale =
        scalePreview(paper.width(), paper.height(), m_paperBox.width() / pixelsPerInch,
                     m_paperBox.height() / pixelsPerInch);
    QSize interior = m_paperBox;
    const int newPixels = qMax(1, qRound(scale.newLength * pixelsPerInch));
    if (scale.sideSet == PreviewScale::Width)
        interior.setWidth(newPixels);
    else
        interior.setHeight(newPixels);
    pic->clear(interior);
    return scale.factor;
}

void PrintPreviewDialog::drawpage(QPainter &target, double unitsX, double unitsY, double scaleWidth,
                                  double factor, const PageParams &page)
{
    PageSurface surface(target, unitsX, unitsY, scaleWidth);
    const PrintablePicture &shown = m_pictures->current();
    drawPage(surface, page, shown.image, footerText(shown.label), factor);
}

bool PrintPreviewDialog::updatePreview()
{
    const std::optional<PageParams> page = readBoxes();
    if (!page)
        return false;
    takeShownPicture();
    drawPreview(*page);
    return true;
}

void PrintPreviewDialog::drawPreview(const PageParams &page)
{
    m_drawnPage = page;
    const double factor = scalepreview(m_picture1);
    const QSizeF paper = m_paper.fullRect(QPageLayout::Inch).size();
    const QSize interior = m_picture1->interiorSize();
    QPainter painter(&m_picture1->canvas());
    drawpage(painter, interior.width() / paper.width(), interior.height() / paper.height(),
             paper.width(), factor, page);
    painter.end();
    m_picture1->update();
    emit previewDrawn();
}

} // namespace vistrel
