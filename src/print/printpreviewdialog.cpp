#include "print/printpreviewdialog.h"

#include "app/services.h"
#include "print/pagesurface.h"
#include "print/paperimage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

namespace vistrel {

namespace {

constexpr int twipsPerPixel = 15;
constexpr double pixelsPerInch = 96.0;
constexpr int firstDrawingMs = 120;

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                 height / twipsPerPixel);
}

// A push button whose caption wraps onto a second line when the button is too narrow for it,
// keeping its access key.
class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect textArea =
            style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                             palette(), isEnabled(), text(), QPalette::ButtonText);
    }
};

QLabel *addLabel(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    // A caption wider than its design box in the platform's font keeps all its letters; the
    // boxes beside the labels leave room for that.
    geometry.setWidth(qMax(geometry.width(), label->sizeHint().width()));
    label->setGeometry(geometry);
    return label;
}

QLineEdit *addBox(QWidget *parent, const char *name, QRect geometry)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

const QString errorTitle = QStringLiteral("ERROR!");
const QString printTitle = QStringLiteral("PRINT");

} // namespace

PrintPreviewDialog::PrinterFactory PrintPreviewDialog::defaultPrinter()
{
    return []() -> std::unique_ptr<QPrinter> {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            return nullptr;
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    };
}

void PrintPreviewDialog::showPreview(const QString &picLabel, PictureSource picture,
                                     PrinterFactory printers)
{
    PrintPreviewDialog dialog(picLabel, std::move(picture), std::move(printers));
    dialog.exec();
}

PrintPreviewDialog::PrintPreviewDialog(const QString &picLabel, PictureSource picture,
                                       PrinterFactory printers, QWidget *parent)
    : QDialog(parent), m_picLabel(picLabel), m_pictureSource(std::move(picture))
{
    setObjectName(QStringLiteral("frm_PrintPreview"));
    setWindowTitle(QStringLiteral("Show Pic"));
    setModal(true);
    setFixedSize(5040 / twipsPerPixel, 8370 / twipsPerPixel);

    if (printers)
        m_printer = printers();
    // Without a printer the preview still shows a sheet; Print then says there is no printer.
    m_paper = m_printer ? m_printer->pageLayout()
                        : QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {});

    m_picture1 = new PaperImage(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(twips(120, 120, 4815, 6495));
    m_paperBox = m_picture1->interiorSize();

    addLabel(this, "Label5", QStringLiteral("Picture Size"), twips(480, 6720, 1215, 255));
    addLabel(this, "Label2", QStringLiteral("Height"), twips(480, 7080, 495, 255));
    m_txtHeight = addBox(this, "txt_height", twips(1080, 7080, 495, 285));
    addLabel(this, "Label1", QStringLiteral("Width"), twips(480, 7440, 495, 255));
    m_txtWidth = addBox(this, "txt_width", twips(1080, 7440, 495, 285));
    addLabel(this, "Label6", QStringLiteral("Margins"), twips(1800, 6720, 975, 255));
    addLabel(this, "Label4", QStringLiteral("Top"), twips(1800, 7080, 495, 255));
    m_txtTop = addBox(this, "txt_top", twips(2400, 7080, 495, 285));
    addLabel(this, "Label3", QStringLiteral("Left"), twips(1800, 7440, 495, 255));
    m_txtLeft = addBox(this, "txt_left", twips(2400, 7440, 495, 285));

    m_command3 = new QPushButton(this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command3->setGeometry(twips(240, 7800, 1455, 495));
    m_command2 = new QPushButton(this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setGeometry(twips(1800, 7800, 1695, 495));
    m_command1 = new WrappingButton(QStringLiteral("&Close Print Preview"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(twips(3600, 7800, 1335, 495));

    QWidget::setTabOrder(m_command2, m_picture1);
    QWidget::setTabOrder(m_picture1, m_command3);
    QWidget::setTabOrder(m_command3, m_txtWidth);
    QWidget::setTabOrder(m_txtWidth, m_txtHeight);
    QWidget::setTabOrder(m_txtHeight, m_txtLeft);
    QWidget::setTabOrder(m_txtLeft, m_txtTop);
    QWidget::setTabOrder(m_txtTop, m_command1);
    m_command2->setFocus();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(firstDrawingMs);

    connect(m_timer1, &QTimer::timeout, this, &PrintPreviewDialog::Timer1_Timer);
    connect(m_command1, &QPushButton::clicked, this, &PrintPreviewDialog::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &PrintPreviewDialog::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &PrintPreviewDialog::Command3_Click);

    Form_Load();
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
        prompter().critical(result.problem, errorTitle);
    return result.params;
}

QImage PrintPreviewDialog::currentPicture()
{
    // The main window takes no input while this window is open, so its picture cannot change.
    if (!m_picture)
        m_picture = m_pictureSource ? m_pictureSource() : QImage();
    return *m_picture;
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
    drawPage(surface, page, currentPicture(), footerText(m_picLabel), factor);
}

bool PrintPreviewDialog::updatePreview()
{
    const std::optional<PageParams> page = readBoxes();
    if (!page)
        return false;
    const double factor = scalepreview(m_picture1);
    const QSizeF paper = m_paper.fullRect(QPageLayout::Inch).size();
    const QSize interior = m_picture1->interiorSize();
    QPainter painter(&m_picture1->canvas());
    drawpage(painter, interior.width() / paper.width(), interior.height() / paper.height(),
             paper.width(), factor, *page);
    painter.end();
    m_picture1->update();
    emit previewDrawn();
    return true;
}

bool PrintPreviewDialog::printPage()
{
    const std::optional<PageParams> page = readBoxes();
    if (!page)
        return false;
    const QImage picture = currentPicture();
    if (picture.isNull()) {
        prompter().inform(QStringLiteral("There is no picture to print. Choose a picture in the "
                                         "main window first."),
                          printTitle);
        return false;
    }
    if (!m_printer) {
        prompter().critical(QStringLiteral("No printer is installed. Add a printer in the "
                                           "system's printer settings, then print again."),
                            errorTitle);
        return false;
    }

    // The sheet's corner is the origin, as on the paper image, so the ink lands where the
    // preview shows it.
    m_printer->setFullPage(true);
    m_printer->setDocName(QStringLiteral("Vistrel"));
    const QString name =
        m_printer->printerName().isEmpty() ? m_printer->outputFileName() : m_printer->printerName();
    QPainter painter;
    if (!painter.begin(m_printer.get())) {
        prompter().critical(QStringLiteral("The printer \"%1\" could not start the job. "
                                           "Nothing was printed.")
                                .arg(name),
                            errorTitle);
        return false;
    }
    const QRectF sheet = m_printer->paperRect(QPrinter::Inch);
    const double unitsX = m_printer->width() / sheet.width();
    const double unitsY = m_printer->height() / sheet.height();
    drawpage(painter, unitsX, unitsY, sheet.width(), 1.0, *page);
    const bool ended = painter.end();
    if (!ended || m_printer->printerState() == QPrinter::Error) {
        prompter().critical(QStringLiteral("The printer \"%1\" failed while printing. The page "
                                           "may not have been printed.")
                                .arg(name),
                            errorTitle);
        return false;
    }
    return true;
}

} // namespace vistrel
