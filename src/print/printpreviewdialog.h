#pragma once

#include "print/printlayout.h"

#include <QDialog>
#include <QImage>
#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QPainter;
class QPrinter;
class QPushButton;
class QTimer;

namespace vistrel {

class PaperImage;

// The print preview window "Show Pic": an image of the current printer's sheet with the picture
// and the footer line placed on it from four boxes (inches), and the command that prints that
// page. The preview and the printout are drawn by the same page routine; the window is made
// afresh at every opening, so each opening starts from the default boxes.
class PrintPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    // Returns the full-resolution picture the main window shows, or a null image for none.
    using PictureSource = std::function<QImage()>;
    // Returns the printer to draw on, or nullptr when there is none.
    using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;

    // The system's default printer at high resolution; nullptr when no printer is installed.
    static PrinterFactory defaultPrinter();

    // Opens a fresh preview modally with no owner window and destroys it when it closes.
    // picLabel: the main window's path label text (the start of the footer).
    static void showPreview(const QString &picLabel, PictureSource picture,
                            PrinterFactory printers = defaultPrinter());

    PrintPreviewDialog(const QString &picLabel, PictureSource picture,
                       PrinterFactory printers = defaultPrinter(), QWidget *parent = nullptr);
    ~PrintPreviewDialog() override;

    // Redraws the paper image from the boxes; false (with a message) when a box is refused.
    bool updatePreview();
    // Prints the page on the printer; true only when the job was handed over without error.
    bool printPage();

    const QImage &paperContent() const;
    QTimer *firstDrawingTimer() const { return m_timer1; }

signals:
    void previewDrawn();

private:
    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    std::optional<PageParams> readBoxes() const;
    QImage currentPicture();
    // Fits the paper image to the sheet's proportions, erases it and returns the preview factor.
    double scalepreview(PaperImage *pic);
    // Draws the page through painter, whose origin is the sheet's corner; units*: device units
    // per inch of paper; scaleWidth: the surface's width in inches.
    void drawpage(QPainter &target, double unitsX, double unitsY, double scaleWidth, double factor,
                  const PageParams &page);

    QString m_picLabel;
    PictureSource m_pictureSource;
    std::optional<QImage> m_picture; // fetched once, on first need
    std::unique_ptr<QPrinter> m_printer;
    QPageLayout m_paper;
    QSize m_paperBox; // the paper image's design interior, the room it is fitted into

    PaperImage *m_picture1 = nullptr;
    QLineEdit *m_txtHeight = nullptr;
    QLineEdit *m_txtWidth = nullptr;
    QLineEdit *m_txtTop = nullptr;
    QLineEdit *m_txtLeft = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QTimer *m_timer1 = nullptr;
};

} // namespace vistrel
