#include "browse/foldertree.h"

#include "common/services.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <utility>

namespace vistrel {

FolderTree::FolderTree(const QString &documentsFolder, const QString &homeFolder, QWidget *parent)
    : FolderTree(FolderTreeModel::standardRoots(documentsFolder, homeFolder), parent)
{}

FolderTree::FolderTree(std::vector<FolderTreeRoot> roots, QWidget *parent)
    : QTreeView(parent), m_model(new FolderTreeModel(std::move(roots), this))
{
    setModel(m_model);
    endRunOnEscape(this);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeView::expanded, m_model, &FolderTreeModel::reload);
    // A chosen folder's sub-folders come up to date, as an opened one's do: one that had none
    // when it was first read has no expand arrow to open it by.
    connect(this, &FolderTree::selectedPathChanged, this, [this] { m_model->reload(m_chosen); });
    // A chosen folder that went away takes its highlight with it; no neighbour inherits it.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &FolderTree::showChosen);
    connect(m_model, &FolderTreeModel::pathFound, this, [this](const QModelIndex &index) {
        const QString path = std::exchange(m_pendingPath, QString());
        if (path.isEmpty())
            return;
        if (index.isValid())
            choose(index);
        emit pathSettled(path, index.isValid());
    });
    connect(m_model, &FolderTreeModel::folderVanished, this, [this](const QModelIndex &index) {
        m_vanished.emplace_back(index);
        dropVanished();
    });
}

void FolderTree::dropVanished()
{
    // The chosen folder, and those above it, stay while chosen: the tree's selected path still
    // names the folder the program reports it could not open.
    auto kept = [this](const QModelIndex &index) {
        for (QModelIndex up = m_chosen; up.isValid(); up = up.parent()) {
            if (up == index)
                return true;
        }
        return false;
    };
    std::vector<QPersistentModelIndex> waiting;
    for (const QPersistentModelIndex &index : std::exchange(m_vanished, {})) {
        if (index.isValid() && kept(index))
            waiting.push_back(index);
        else if (index.isValid())
            m_model->removeFolder(index);
    }
    m_vanished = std::move(waiting);
}

QString FolderTree::selectedPath() const
{
    return m_model->pathOf(m_chosen);
}

bool FolderTree::setSelectedPath(const QString &path)
{
    QModelIndex index;
    m_pendingPath.clear();
    switch (m_model->seekPath(path, &index)) {
    case FolderTreeModel::Seek::Missing:
        return false;
    case FolderTreeModel::Seek::Pending:
        m_pendingPath = path;
        return true;
    case FolderTreeModel::Seek::Found:
        break;
    }
    choose(index);
    return true;
}

void FolderTree::dropPendingPath()
{
    if (m_pendingPath.isEmpty())
        return;
    m_pendingPath.clear();
    m_model->dropSeek();
}

void FolderTree::choose(const QModelIndex &index)
{
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    const bool changed = index != m_chosen;
    m_chosen = index;
    showChosen();
    scrollTo(index);
    if (changed)
        emit selectedPathChanged();
    dropVanished();
}

void FolderTree::restoreSelectedPath(const QString &path)
{
    dropPendingPath();
    // The folders on the way to a folder chosen before have been read: nothing is read here.
    m_chosen = path.isEmpty() ? QModelIndex() : m_model->indexForPath(path);
    showChosen();
    dropVanished();
}

void FolderTree::showChosen()
{
    QItemSelectionModel *selection = selectionModel();
    if (m_chosen.isValid())
        selection->setCurrentIndex(m_chosen, QItemSelectionModel::ClearAndSelect);
    else
        selection->clear();
}

void FolderTree::reportUserChoice()
{
    const QModelIndexList highlighted = selectionModel()->selectedIndexes();
    const QModelIndex choice = highlighted.isEmpty() ? QModelIndex() : highlighted.first();
    if (!choice.isValid() || choice == m_chosen)
        return;
    dropPendingPath();
    m_chosen = choice;
    emit selectedPathChanged();
    dropVanished();
}

void FolderTree::mousePressEvent(QMouseEvent *event)
{
    QTreeView::mousePressEvent(event);
    reportUserChoice();
}

void FolderTree::keyPressEvent(QKeyEvent *event)
{
    QTreeView::keyPressEvent(event);
    reportUserChoice();
}

} // namespace vistrel
