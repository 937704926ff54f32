#pragma once

#include "print/printdestination.h"
#include "print/printlayout.h"

#include <QDialog>
#include <QImage>
#include <QPageLayout>
#include <QString>

#include <memory>
#include <optional>

class QLineEdit;
class QPainter;
class QPushButton;
class QTimer;

namespace vistrel {

class PaperImage;
class PictureLink;
class PrinterLink;
struct HandOverOutcome;

// The print preview window "Show Pic": an image of the current printer's sheet with the picture
// and the footer line placed on it from four boxes (inches), and the command that prints that
// page. The preview and the printout are drawn by the same page routine; the window is made
// afresh at every opening, so each opening starts from the default boxes.
class PrintPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    // The print service's default printer (or its only or first one).
    static DestinationFinder systemPrinter();

    // Opens a fresh preview modally with no owner window and destroys it when it closes.
    static void showPreview(PictureSource picture, DestinationFinder printers = systemPrinter());

    PrintPreviewDialog(PictureSource picture, DestinationFinder printers = systemPrinter(),
                       QWidget *parent = nullptr);
    ~PrintPreviewDialog() override;

    // Redraws the paper image from the boxes; false (with a message) when a box is refused.
    bool updatePreview();
    // Prints the page; true only when the print system took the job before this returns. While
    // the printer is still being looked up, or the print service is slow to take the page, the
    // page prints (or the failure is told) once it answers.
    bool printPage();
    // True from the moment the printer has been looked up until a new lookup starts.
    bool printerKnown() const;

    const QImage &paperContent() const;
    // The label and picture the last drawing took.
    const PrintablePicture &drawnPicture() const;
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
    // Takes the main window's label and picture together, as they are at this moment.
    void takeShownPicture();
    // Draws the paper image from boxes read.
    void drawPreview(const PageParams &page);
    // Goes on with a Print once the shown file has been read at full resolution.
    bool printTaken(const PageParams &page);
    // The lookup answered: the sheet follows the printer's default paper; a Print waiting for
    // it goes on.
    void printerFound();
    // Goes on with a Print once the printer is known; seen: the sheet the user saw, if any.
    bool printOnFoundPrinter(const std::optional<QPageLayout> &seen, const PageParams &page);
    void pageHandedOver(const HandOverOutcome &outcome);
    // Fits the paper image to the sheet's proportions, erases it and returns the preview factor.
    double scalepreview(PaperImage *pic);
    // Draws the page through painter, whose origin is the sheet's corner; units*: device units
    // per inch of paper; scaleWidth: the surface's width in inches.
    void drawpage(QPainter &target, double unitsX, double unitsY, double scaleWidth, double factor,
                  const PageParams &page);
    // Draws the page into a PDF document and hands it to the printer; the reason when the
    // document could not be made, else an empty text.
    QString printDocument(const PageParams &page);

    PictureLink *m_pictures = nullptr; // holds the label and picture the last drawing took
    PrinterLink *m_link = nullptr;
    QPageLayout m_paper;
    bool m_printed = false;                     // the print system took the page
    bool m_lateHandOver = false;                // Print returned before the print system answered
    std::optional<PageParams> m_printWhenFound; // a Print waiting for the lookup
    std::optional<PageParams> m_printWhenRead;  // a Print waiting for the picture's file
    std::optional<PageParams> m_drawnPage;      // the boxes of the last drawing; none: not drawn
    std::optional<QPageLayout> m_sheetSeen;     // the sheet shown when that Print was given, if any
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
