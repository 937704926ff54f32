#pragma once

#include <QString>
#include <QWidget>

class QCursor;
class QLabel;

namespace vistrel {

class PropertyStore;

// A one-line link that opens an address with the desktop's handler for it. Before opening it
// raises GoToURL, whose handlers may change the address for this one opening or cancel it.
// Each instance keeps its Text, URL and ShowToolTip in its host's property store.
//
// GoToURL passes its arguments by reference: connect to it with Qt::DirectConnection (or from
// the link's own thread with the default), since a queued connection cannot hand the changes
// back.
class URLLink : public QWidget
{
    Q_OBJECT
    Q_CLASSINFO("TypeName", "Vistrel.URLLink")
    Q_PROPERTY(QString Text READ text WRITE setText)
    Q_PROPERTY(QString URL READ url WRITE setUrl)
    Q_PROPERTY(bool ShowToolTip READ showToolTip WRITE setShowToolTip)

public:
    // A new instance starts with the default caption and address and no tool tip.
    explicit URLLink(QWidget *parent = nullptr);

    static QString typeName() { return QStringLiteral("Vistrel.URLLink"); }
    static QString defaultText();
    static QString defaultUrl();

    QString text() const;
    // Moves the label to the control's top-left corner and sizes it to the text.
    void setText(const QString &caption);
    QString url() const { return m_url; }
    void setUrl(const QString &address);
    bool showToolTip() const { return m_showToolTip; }
    void setShowToolTip(bool show);

    // A new instance: default caption, default address, no tool tip.
    void initProperties();
    // An instance loaded with its host. A stored value that cannot be read makes the instance
    // start afresh as a new one.
    void readProperties(const PropertyStore &store);
    // Stores the three properties; values at their defaults store nothing.
    void writeProperties(PropertyStore &store) const;

    // The pointing hand shown over the link.
    QCursor linkCursor() const;

    // Follows the link as a left press on it does; Enter or Space does it when the link has the
    // keyboard focus, and a screen reader's press action.
    void activate();

signals:
    void GoToURL(QString &address, bool &cancel);
    // The property with this key has changed and the host's stored data are out of date.
    void propertyChanged(const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void lblURL_MouseDown(Qt::MouseButtons buttons);
    void refreshToolTip();
    void applyHighlightColour();

    QLabel *m_label = nullptr;
    QString m_url;
    bool m_showToolTip = false;
};

} // namespace vistrel
