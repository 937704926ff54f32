#include "browse/foldertree.h"

#include "app/services.h"
#include "browse/foldertreemodel.h"

#include <QHeaderView>

namespace vistrel {

FolderTree::FolderTree(const QString &documentsFolder, const QString &homeFolder, QWidget *parent)
    : QTreeView(parent), m_model(new FolderTreeModel(documentsFolder, homeFolder, this))
{
    setModel(m_model);
    endRunOnEscape(this);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeView::expanded, m_model, &FolderTreeModel::reload);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (m_quiet)
                    return;
                // A chosen folder's sub-folders come up to date too: one that had none when it
                // was first opened has no expand arrow to open it by.
                m_model->reload(current);
                emit selectionChanged();
            });
}

QString FolderTree::selectedPath() const
{
    return m_model->pathOf(currentIndex());
}

bool FolderTree::setSelectedPath(const QString &path)
{
    const QModelIndex index = m_model->indexForPath(path);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void FolderTree::restoreSelectedPath(const QString &path)
{
    m_quiet = true;
    const QModelIndex index = m_model->indexForPath(path);
    if (index.isValid())
        setCurrentIndex(index);
    else
        selectionModel()->clearCurrentIndex();
    m_quiet = false;
}

} // namespace vistrel
