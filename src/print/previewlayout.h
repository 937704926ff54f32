#pragma once

#include <QPushButton>

class QLabel;
class QLineEdit;
class QWidget;

namespace vistrel {

// A push button whose caption wraps onto a second line when the button is too narrow for it,
// keeping its access key.
class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override;
};

// The controls under the print preview's paper image, as the window lays them out.
struct PreviewControls
{
    QWidget *window = nullptr;
    QWidget *paper = nullptr;        // Picture1
    QLabel *sizeHeading = nullptr;   // Label5 "Picture Size"
    QLabel *heightLabel = nullptr;   // Label2
    QLabel *widthLabel = nullptr;    // Label1
    QLabel *marginHeading = nullptr; // Label6 "Margins"
    QLabel *topLabel = nullptr;      // Label4
    QLabel *leftLabel = nullptr;     // Label3
    QLineEdit *height = nullptr;
    QLineEdit *width = nullptr;
    QLineEdit *top = nullptr;
    QLineEdit *left = nullptr;
    QPushButton *print = nullptr;  // Command3
    QPushButton *update = nullptr; // Command2
    QPushButton *close = nullptr;  // Command1, its caption wrapped on two lines
};

// Places the controls at their design positions, each moved right or down only as far as the
// controls before it grew, and grown only as far as the interface font needs, so that every
// caption and the largest entries ("32767", "0.125") show whole at any font size; the window
// grows to hold them. At the platform's usual small font this is the design layout itself.
void placePreviewControls(const PreviewControls &controls);

} // namespace vistrel
