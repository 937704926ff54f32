#include "browse/picturelistview.h"

#include "browse/picturelistmodel.h"

#include <QMouseEvent>

namespace vistrel {

PictureListView::PictureListView(PictureListModel *list, QWidget *parent)
    : QListView(parent), m_list(list)
{
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setModel(list);
    connect(list, &PictureListModel::listIndexChanged, this, &PictureListView::showModelEntry);
    connect(list, &QAbstractItemModel::modelReset, this, &PictureListView::showModelEntry);
}

void PictureListView::showModelEntry()
{
    m_syncing = true;
    const QModelIndex row = m_list->index(m_list->listIndex());
    if (row.isValid()) {
        selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        scrollTo(row);
    } else {
        selectionModel()->clear();
    }
    m_syncing = false;
}

void PictureListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    if (m_syncing)
        return;
    m_userMoved = true;
    m_userRow = current.isValid() ? current.row() : -1;
}

void PictureListView::applyUserMove()
{
    if (m_userMoved) {
        m_userMoved = false;
        // Selecting shows the picture at once; a message it raises may clear the selection again.
        m_list->setListIndex(m_userRow);
    }
    showModelEntry();
}

void PictureListView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex pressed = indexAt(event->position().toPoint());
    const bool onCurrent = pressed.isValid() && pressed.row() == m_list->listIndex();
    m_userMoved = false;
    QListView::mousePressEvent(event);
    applyUserMove();
    if (onCurrent && event->button() == Qt::LeftButton)
        emit currentClickedAgain();
}

void PictureListView::mouseMoveEvent(QMouseEvent *event)
{
    m_userMoved = false;
    QListView::mouseMoveEvent(event);
    applyUserMove();
}

void PictureListView::keyPressEvent(QKeyEvent *event)
{
    m_userMoved = false;
    QListView::keyPressEvent(event);
    applyUserMove();
}

void PictureListView::focusInEvent(QFocusEvent *event)
{
    m_syncing = true; // the row the view makes current by itself is not a choice
    QListView::focusInEvent(event);
    m_syncing = false;
    showModelEntry();
}

} // namespace vistrel
