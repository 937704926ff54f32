#pragma once

#include "browse/folderbrowser.h"

#include <QTreeView>

namespace vistrel {

class FolderTreeModel;

// The folder tree at the left of the main window. Its selected path is readable and writable;
// writing it selects that folder, opens the folders above it, scrolls to it and reports the
// change like a selection by the user. Escape typed in the tree ends the run at once.
class FolderTree : public QTreeView, public TreeSelection
{
    Q_OBJECT

public:
    FolderTree(const QString &documentsFolder, const QString &homeFolder,
               QWidget *parent = nullptr);

    QString selectedPath() const override;
    // Returns false, changing nothing, when the path names no folder of the tree.
    bool setSelectedPath(const QString &path);
    // Moves the selection back without reporting it (after a folder could not be opened).
    void restoreSelectedPath(const QString &path);

signals:
    void selectionChanged();

private:
    FolderTreeModel *m_model;
    bool m_quiet = false;
};

} // namespace vistrel
