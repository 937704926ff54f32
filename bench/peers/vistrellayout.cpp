// Prints what the peers benchmark needs to drive Vistrel as a user would, read from the real
// windows under the running X server (so fonts and style are those of the timed runs):
//   MAINWIDTH MAINHEIGHT  stored window size in twips that gives a viewing area of W x H pixels
//   LISTX LISTY           a point on the first row of the picture list, in window pixels
//   CONTX CONTY           the centre of the splash's Continue button, in splash pixels
//   PAGEX PAGEY           a point near the right end of the horizontal scroll bar's trough (a
//                         click there pages right), in window pixels
//   AREAX AREAY           the viewing area's top-left corner, in window pixels
//   WINDOWCOLOUR          the viewing area's window colour, as RRGGBB
//   LEFTX LEFTY           a point near the left end of the horizontal bar's trough (pages left
//                         once the thumb has left that end), in window pixels
//   DOWNX DOWNY           a point near the bottom end of the vertical bar's trough (pages down
//                         while the thumb is above it), in window pixels
//   ACROSS                whole page steps from the left edge towards the right edge of a
//                         picture of PW x PH pixels at its own size (the last leaves less than a
//                         page to the edge)
//   bench_vistrellayout W H [PW PH]   (PW x PH 10000 x 10000 when not given)

#include "app/mainwindow.h"
#include "info/splashwindow.h"
#include "viewer/picturegeometry.h"

#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace vistrel;

namespace {

// Where to click in the scroll bars' troughs, in window pixels, and the inside of the area.
struct Troughs
{
    QPoint right, left, down;
    QSize inner;
};

// The viewing area of a window stored at this size, in pixels.
QSize viewingArea(double width, double height, QPoint *listRow, Troughs *troughs = nullptr,
                  QPoint *areaAt = nullptr, unsigned *colour = nullptr)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("v.ini"));
    {
        QSettings store(ini, QSettings::IniFormat);
        store.setValue(QStringLiteral("Settings/MainWidth"), width);
        store.setValue(QStringLiteral("Settings/MainHeight"), height);
    }
    MainWindow window(ini);
    window.Form_Load();
    window.show();
    QApplication::processEvents();
    const auto *area = window.findChild<QWidget *>(QStringLiteral("picContainer"));
    const auto *list = window.findChild<QListView *>(QStringLiteral("SortedList"));
    if (listRow)
        *listRow = list->mapTo(&window, QPoint(list->width() / 3, 8));
    // The bars are laid out where they show; their arrow buttons are at most as long as the bar
    // is thick, and two thicknesses in from the arrow a point is in the trough.
    const auto *bar = window.findChild<QWidget *>(QStringLiteral("HScroll1"));
    const auto *vbar = window.findChild<QWidget *>(QStringLiteral("VScroll1"));
    if (troughs && bar && vbar) {
        troughs->right =
            bar->mapTo(&window, QPoint(bar->width() - 3 * bar->height(), bar->height() / 2));
        troughs->left = bar->mapTo(&window, QPoint(3 * bar->height(), bar->height() / 2));
        troughs->down =
            vbar->mapTo(&window, QPoint(vbar->width() / 2, vbar->height() - 3 * vbar->width()));
        troughs->inner = area->contentsRect().size();
    }
    if (areaAt)
        *areaAt = area->mapTo(&window, QPoint(0, 0));
    if (colour)
        *colour = area->palette().window().color().rgb() & 0xFFFFFFu;
    return area->size();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int wantW = argc > 2 ? std::atoi(argv[1]) : 1000;
    const int wantH = argc > 2 ? std::atoi(argv[2]) : 700;
    // The viewing area grows twip for twip with the window: one probe gives the size.
    const double probeW = 18000, probeH = 13000;
    const QSize probe = viewingArea(probeW, probeH, nullptr);
    const double width = probeW + (wantW - probe.width()) * 15.0;
    const double height = probeH + (wantH - probe.height()) * 15.0;
    const QSize picture(argc > 4 ? std::atoi(argv[3]) : 10000,
                        argc > 4 ? std::atoi(argv[4]) : 10000);
    QPoint listRow, areaAt;
    Troughs troughs;
    unsigned colour = 0;
    const QSize got = viewingArea(width, height, &listRow, &troughs, &areaAt, &colour);
    // A page is the inside of the area. Only whole pages: before a step cut short at the edge
    // the thumb would cover the trough's end, and the step would move too little to be seen.
    const int page = qMax(1, troughs.inner.width());
    const int across = placeActualSize(picture, troughs.inner).horizontalMax / page;

    SplashWindow splash({});
    splash.show();
    QApplication::processEvents();
    const QPushButton *button = splash.screen().btnCont;
    const QPoint cont = button->mapTo(&splash, button->rect().center());
    std::printf("%.0f %.0f %d %d %d %d %d %d %d %d %06x %d %d %d %d %d\n", width, height,
                listRow.x(), listRow.y(), cont.x(), cont.y(), troughs.right.x(), troughs.right.y(),
                areaAt.x(), areaAt.y(), colour, troughs.left.x(), troughs.left.y(),
                troughs.down.x(), troughs.down.y(), across);
    return got == QSize(wantW, wantH) ? 0 : 3;
}
