#include "app/accessibility.h"

#include "info/urllink.h"
#include "viewer/pictureview.h"

#include <QAccessibleWidget>

namespace vistrel {
namespace {

class LinkAccessible final : public QAccessibleWidget
{
public:
    explicit LinkAccessible(URLLink *link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return link()->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            link()->activate();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    URLLink *link() const { return static_cast<URLLink *>(widget()); }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("vistrel::URLLink"))
        return new LinkAccessible(static_cast<URLLink *>(object));
    if (className == QLatin1String("vistrel::StretchedImage") ||
        className == QLatin1String("vistrel::ActualPicture"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace vistrel
