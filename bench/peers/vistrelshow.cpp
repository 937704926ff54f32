// The program as src/main.cpp starts it, with the picture display attached to the main window's
// viewing area, scroll bars and path label the way the window wires it in the display tests:
// the peers benchmark times the real display through the real start and list while the main
// window does not hold the display itself yet.

#include "app/identity.h"
#include "app/mainwindow.h"
#include "browse/folderbrowser.h"
#include "browse/picturelistmodel.h"
#include "info/startup.h"
#include "viewer/picturedisplay.h"
#include "viewer/pictureview.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>

#include <memory>

using namespace vistrel;

namespace {

// Keeps the view over the whole viewing area, as the window lays the area out on every resize.
class FollowArea final : public QObject
{
public:
    FollowArea(QWidget *area, PictureView *view, PictureDisplay *display)
        : QObject(area), m_view(view), m_display(display)
    {
        area->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize) {
            m_view->setGeometry(static_cast<QWidget *>(watched)->rect());
            m_display->onContainerResized();
        }
        return false;
    }

private:
    PictureView *m_view;
    PictureDisplay *m_display;
};

PictureDisplay *attachDisplay(MainWindow *window)
{
    auto *area = window->findChild<QWidget *>(QStringLiteral("picContainer"));
    auto *browser = window->findChild<FolderBrowser *>();
    auto *view = new PictureView(area);
    auto *display = new PictureDisplay(
        browser, view, window->findChild<QScrollBar *>(QStringLiteral("HScroll1")),
        window->findChild<QScrollBar *>(QStringLiteral("VScroll1")),
        window->findChild<QLabel *>(QStringLiteral("PicLabel")), [](const QString &) {}, window);
    QObject::connect(browser->list(), &PictureListModel::listIndexChanged, display,
                     [display] { display->SortedList_Click(); });
    display->setScaledPics(true);
    new FollowArea(area, view, display);
    return display;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(identity::productName());
    QApplication::setOrganizationName(identity::organisation());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, identity::organisation(),
                    identity::productName());
    std::unique_ptr<MainWindow> window;
    Main([&]() -> QWidget * {
        window = std::make_unique<MainWindow>(&store);
        attachDisplay(window.get());
        window->Form_Load();
        return window.get();
    });
    return QApplication::exec();
}
