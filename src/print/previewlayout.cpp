#include "print/previewlayout.h"

#include "common/units.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace vistrel {

namespace {

// Design room between neighbours (pixels): a box's label and its box, the two groups, the rows.
constexpr int labelGap = 7;
constexpr int groupGap = 15;
constexpr int rowGap = 5;
constexpr int windowMargin = 7;

int textWidth(const QWidget *widget, const QString &text)
{
    // One pixel more than the advance: a face's last glyph may reach past it.
    return widget->fontMetrics().horizontalAdvance(text) + 1;
}

int captionWidth(const QLabel *label)
{
    return textWidth(label, label->text()) + 2 * label->margin() + 2 * label->frameWidth();
}

// Room for the largest entries a box is meant to show.
int boxWidth(const QLineEdit *box)
{
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const int textMargin = 2; // the line edit's own room at each end of the text
    const int widest =
        std::max({textWidth(box, QStringLiteral("32767")), textWidth(box, QStringLiteral("0.125")),
                  textWidth(box, box->text())});
    return widest + 2 * (frame + textMargin);
}

// Room for a line of text inside the box's frame.
int boxHeight(const QLineEdit *box)
{
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    return box->fontMetrics().height() + 2 * frame;
}

struct Place
{
    int x;
    int y;
    int width;
    int height;
};

} // namespace

void WrappingButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect textArea = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                         palette(), isEnabled(), text(), QPalette::ButtonText);
}

void placePreviewControls(const PreviewControls &c)
{
    const QRect paper = c.paper->geometry();
    // Design places (twips), each grown to what its text needs.
    const QRect heading5 = units::toPixels(480, 6720, 1215, 255);
    const QRect label2 = units::toPixels(480, 7080, 495, 255);
    const QRect box1 = units::toPixels(1080, 7080, 495, 285);
    const QRect heading6 = units::toPixels(1800, 6720, 975, 255);
    const QRect label4 = units::toPixels(1800, 7080, 495, 255);
    const QRect box2 = units::toPixels(2400, 7080, 495, 285);
    const QRect rowTwo = units::toPixels(480, 7440, 495, 285);
    const QRect print = units::toPixels(240, 7800, 1455, 495);
    const QRect update = units::toPixels(1800, 7800, 1695, 495);
    const QRect close = units::toPixels(3600, 7800, 1335, 495);
    const QSize window(units::toPixels(5040), units::toPixels(8370));

    // Across: the size group, then the margins group, each a column of labels and of boxes. A
    // label of the size group wider than its place grows to the left, away from its box, as far
    // as there is room; only then does its box move right.
    const int labelsA =
        std::max({label2.width(), captionWidth(c.heightLabel), captionWidth(c.widthLabel)});
    const int boxesA = std::max({box1.width(), boxWidth(c.height), boxWidth(c.width)});
    const int boxAX = std::max(box1.x(), paper.x() + labelsA + labelGap);
    const int headingAWidth = std::max(heading5.width(), captionWidth(c.sizeHeading));
    // The margins group starts where its design places it, or clear of the size group.
    const int headingBX = std::max(
        {heading6.x(), heading5.x() + headingAWidth + labelGap, boxAX + boxesA + groupGap});
    const int labelsB =
        std::max({label4.width(), captionWidth(c.topLabel), captionWidth(c.leftLabel)});
    const int boxesB = std::max({box2.width(), boxWidth(c.top), boxWidth(c.left)});
    const int boxBX =
        std::max(box2.x() + (headingBX - heading6.x()), headingBX + labelsB + labelGap);
    const int headingBWidth = std::max(heading6.width(), captionWidth(c.marginHeading));
    const int labelAX = std::min(label2.x(), boxAX - labelGap - labelsA);
    const int labelBX = headingBX;

    // Down: the headings, two rows of boxes, the buttons.
    const int labelHeight = std::max({heading5.height(), c.sizeHeading->sizeHint().height(),
                                      c.heightLabel->sizeHint().height()});
    const int headingY = std::max(heading5.y(), paper.bottom() + 1 + rowGap);
    const int rowHeight = std::max({box1.height(), boxHeight(c.height), labelHeight});
    const int rowOneY = std::max(box1.y(), headingY + labelHeight + rowGap);
    const int rowTwoY = std::max(rowTwo.y(), rowOneY + rowHeight + rowGap);

    // The close button keeps its two lines: as wide as its longer line, as tall as both.
    const QString closeCaption = QString(c.close->text()).remove(QLatin1Char('&'));
    const int secondLine = int(closeCaption.lastIndexOf(QLatin1Char(' ')));
    const int buttonPadding = c.close->sizeHint().width() - textWidth(c.close, closeCaption) + 1;
    const int closeWidth =
        std::max({close.width(), textWidth(c.close, closeCaption.left(secondLine)) + buttonPadding,
                  textWidth(c.close, closeCaption.mid(secondLine + 1)) + buttonPadding});
    const int buttonHeight =
        std::max({print.height(), c.print->sizeHint().height(), c.update->sizeHint().height(),
                  c.close->sizeHint().height() + c.close->fontMetrics().lineSpacing()});
    const int buttonsY = std::max(print.y(), rowTwoY + rowHeight + rowGap);
    const int printWidth = std::max(print.width(), c.print->sizeHint().width());
    const int updateX = std::max(update.x(), print.x() + printWidth + labelGap);
    const int updateWidth = std::max(update.width(), c.update->sizeHint().width());
    const int closeX = std::max(close.x(), updateX + updateWidth + labelGap);

    const auto put = [](QWidget *widget, Place place) {
        widget->setGeometry(place.x, place.y, place.width, place.height);
    };
    put(c.sizeHeading, {heading5.x(), headingY, headingAWidth, labelHeight});
    put(c.heightLabel, {labelAX, rowOneY, labelsA, rowHeight});
    put(c.height, {boxAX, rowOneY, boxesA, rowHeight});
    put(c.widthLabel, {labelAX, rowTwoY, labelsA, rowHeight});
    put(c.width, {boxAX, rowTwoY, boxesA, rowHeight});
    put(c.marginHeading, {headingBX, headingY, headingBWidth, labelHeight});
    put(c.topLabel, {labelBX, rowOneY, labelsB, rowHeight});
    put(c.top, {boxBX, rowOneY, boxesB, rowHeight});
    put(c.leftLabel, {labelBX, rowTwoY, labelsB, rowHeight});
    put(c.left, {boxBX, rowTwoY, boxesB, rowHeight});
    put(c.print, {print.x(), buttonsY, printWidth, buttonHeight});
    put(c.update, {updateX, buttonsY, updateWidth, buttonHeight});
    put(c.close, {closeX, buttonsY, closeWidth, buttonHeight});

    const int right = std::max({boxBX + boxesB, headingBX + headingBWidth, closeX + closeWidth,
                                paper.right() + 1}) +
                      windowMargin;
    const int bottom = buttonsY + buttonHeight + windowMargin;
    c.window->setFixedSize(std::max(window.width(), right), std::max(window.height(), bottom));
}

} // namespace vistrel
