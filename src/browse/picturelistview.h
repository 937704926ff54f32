#pragma once

#include <QListView>

namespace vistrel {

class PictureListModel;

// The picture list on screen (SortedList). It always shows the list model's current entry and
// nothing else: -1 there means no highlight here. Only what the user does reaches the model: a
// click or a key that moves the highlight selects that entry, once the view has finished
// handling the event, and a click on the entry already current is reported as such. What the
// view does by itself (making row 0 current when it gains the focus with nothing selected)
// selects nothing and shows nothing.
class PictureListView : public QListView
{
    Q_OBJECT

public:
    explicit PictureListView(PictureListModel *list, QWidget *parent = nullptr);

signals:
    // The user clicked the entry that was already the current one.
    void currentClickedAgain();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    // Passes a move of the highlight made by the event just handled on to the model.
    void applyUserMove();
    void showModelEntry();

    PictureListModel *m_list;
    bool m_syncing = false;
    bool m_userMoved = false;
    int m_userRow = -1;
};

} // namespace vistrel
