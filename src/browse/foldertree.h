#pragma once

#include "browse/folderbrowser.h"
#include "browse/foldertreemodel.h"

#include <QPersistentModelIndex>
#include <QTreeView>

#include <vector>

namespace vistrel {

// The folder tree at the left of the main window. Its selected path is readable and writable;
// writing it selects that folder, opens the folders above it, scrolls to it and reports the
// change like a selection by the user. Only a real choice is reported: a click, a key that moves
// the selection, or a write of the selected path. What the view does by itself (making a row
// current when it gains the focus, dropping the current row when rows go) opens nothing.
// Escape typed in the tree ends the run at once.
class FolderTree : public QTreeView, public TreeSelection
{
    Q_OBJECT

public:
    FolderTree(const QString &documentsFolder, const QString &homeFolder,
               QWidget *parent = nullptr);
    explicit FolderTree(std::vector<FolderTreeRoot> roots, QWidget *parent = nullptr);

    QString selectedPath() const override;
    // Returns false, changing nothing, when the path names no folder of the tree. The folders
    // on the way are read off the window's thread: when one is slow to answer, the path is
    // pending (true is returned, the selection stays) until it answers, and pathSettled tells
    // the end; a choice by the user, or another path set, drops it.
    bool setSelectedPath(const QString &path);
    // The path set from code whose folders on the way are still to answer; empty for none.
    QString pendingPath() const { return m_pendingPath; }
    // Moves the selection back without reporting it (after a folder could not be opened); an
    // empty or unknown path leaves nothing selected.
    void restoreSelectedPath(const QString &path);

signals:
    void selectedPathChanged();
    // A pending path was chosen (found) or found to name no folder of the tree.
    void pathSettled(const QString &path, bool found);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Reports the node the user has highlighted, once the view has finished handling the event
    // that highlighted it, so that a message shown by the report cannot be undone by the rest of
    // that handling.
    void reportUserChoice();
    // Makes the highlight show the chosen node, and nothing else.
    void showChosen();
    // Takes out of the tree the folders found gone, except the chosen one and those above it.
    void dropVanished();
    void choose(const QModelIndex &index);
    void dropPendingPath();

    FolderTreeModel *m_model;
    QPersistentModelIndex m_chosen;
    std::vector<QPersistentModelIndex> m_vanished;
    QString m_pendingPath;
};

} // namespace vistrel
