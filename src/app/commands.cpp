#include "app/commands.h"

#include "app/mainlayout.h"
#include "app/toolbaricons.h"
#include "common/units.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>

// The toolbar's pictures are compiled into the static library; register them before use.
static void registerToolbarIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace vistrel {
namespace {

struct CommandRow
{
    Commands::Id id;
    const char *objectName;
    const char *caption;
    const char *shortcut; // empty: none
    bool checkable;
    const char *toolbarKey; // empty: not on the toolbar
    const char *toolTip;
    const char *icon;
};

// The command table, in toolbar order for the commands that have a button.
constexpr CommandRow commandTable[] = {
    {Commands::SortDate, "mnu_datesort", "Sort by &Date", "Ctrl+D", true, "sortdate",
     "Sort Pictures By Date", "sortdate"},
    {Commands::SortName, "mnu_sortname", "Sort by &Name", "Ctrl+N", true, "sortname",
     "Sort Pictures by name", "sortname"},
    {Commands::ScaleToFit, "mnu_scaletofit", "Scale to fit", "", true, "scalepic",
     "Scale to Fit Pictures", "scalepic"},
    {Commands::SlideShow, "mnu_slideshow", "Start Slideshow", "", true, "slideshow",
     "Start/Stop Slide Show", "slideshow"},
    {Commands::Delete, "mnu_delete", "&Delete", "Ctrl+X", false, "Delete", "Delete Current Picture",
     "delete"},
    {Commands::AutoRefresh, "mnu_autorefresh", "Auto Refresh", "", true, "autorefresh",
     "Auto Refresh Directory", "autorefresh"},
    {Commands::Print, "mnu_print", "&Print", "Ctrl+P", false, "print",
     "Print the current Picture to the CURRENT printer", "print"},
    {Commands::Save, "mnu_save", "&Save Settings", "Ctrl+S", false, "save",
     "Save the DIR/Position Info", "save"},
    {Commands::Exit, "exit", "&Exit", "", false, "exit", "Exit Program", "exit"},
    {Commands::About, "about", "&About", "", false, "", "", ""},
};

constexpr int toolbarButtons = 9;

// The toolbar as the window's layout draws it up: 16-pixel pictures on square buttons, the bar
// no taller than the buttons, which keeps the window's first-run size what it is meant to be.
class CompactToolBarStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        switch (metric) {
        case PM_ToolBarFrameWidth:
        case PM_ToolBarItemMargin:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};
const char *const keyProperty = "toolbarKey";
const char *const iconProperty = "toolbarIcon";

} // namespace

Commands::Commands(QMainWindow *window) : QObject(window)
{
    registerToolbarIcons();
    m_toolbar = new QToolBar(QStringLiteral("Toolbar1"), window);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(16, 16));
    auto *compact = new CompactToolBarStyle;
    compact->setParent(m_toolbar);
    m_toolbar->setStyle(compact);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->toggleViewAction()->setVisible(false);
    window->addToolBar(Qt::TopToolBarArea, m_toolbar);

    for (const CommandRow &row : commandTable) {
        auto *action = new QAction(QString::fromLatin1(row.caption), window);
        action->setObjectName(QString::fromLatin1(row.objectName));
        action->setCheckable(row.checkable);
        // Menus show check marks; an icon would take the check mark's place.
        action->setIconVisibleInMenu(false);
        if (*row.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        if (*row.toolbarKey) {
            action->setProperty(keyProperty, QString::fromLatin1(row.toolbarKey));
            action->setToolTip(QString::fromLatin1(row.toolTip));
            action->setProperty(iconProperty, QString::fromLatin1(row.icon));
            m_toolbar->addAction(action);
            const int side = units::toPixels(layout::toolbarHeight);
            m_toolbar->widgetForAction(action)->setFixedSize(side, side);
        }
        m_actions[row.id] = action;
    }
    applyIcons();
    // A change of palette (a dark theme chosen while the program runs) draws them again.
    m_toolbar->installEventFilter(this);

    QMenuBar *bar = window->menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File"));
    file->addActions({m_actions[Save], m_actions[Delete], m_actions[Print]});
    file->addSeparator()->setObjectName(QStringLiteral("seperator"));
    file->addAction(m_actions[Exit]);
    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("view"));
    view->addActions({m_actions[SortDate], m_actions[SortName], m_actions[SlideShow],
                      m_actions[AutoRefresh], m_actions[ScaleToFit]});
    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("help"));
    help->addAction(m_actions[About]);
}

void Commands::applyIcons()
{
    const QColor bar = m_toolbar->palette().color(m_toolbar->backgroundRole());
    for (QAction *action : m_toolbar->actions())
        action->setIcon(toolbaricons::icon(action->property(iconProperty).toString(), bar));
}

bool Commands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_toolbar && event->type() == QEvent::PaletteChange)
        applyIcons();
    return QObject::eventFilter(watched, event);
}

QAction *Commands::button(int index) const
{
    const QList<QAction *> buttons = m_toolbar->actions();
    return index >= 1 && index <= buttons.size() ? buttons.at(index - 1) : nullptr;
}

QString Commands::buttonKey(int index) const
{
    const QAction *b = button(index);
    return b ? b->property(keyProperty).toString() : QString();
}

int Commands::buttonValue(int index) const
{
    const QAction *b = button(index);
    return b && b->isChecked() ? 1 : 0;
}

void Commands::setButtonValue(int index, int value)
{
    if (QAction *b = button(index)) {
        const QSignalBlocker blocker(b);
        b->setChecked(value == 1);
    }
}

void Commands::setChecked(Id id, bool checked)
{
    const QSignalBlocker blocker(m_actions[id]);
    m_actions[id]->setChecked(checked);
}

bool Commands::clickToolbarKey(const QString &key)
{
    for (int i = 1; i <= toolbarButtons; ++i) {
        if (buttonKey(i) == key) {
            button(i)->trigger(); // toggles a check-style button before its command runs
            return true;
        }
    }
    return false;
}

} // namespace vistrel
