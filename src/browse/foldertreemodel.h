#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>

#include <memory>
#include <vector>

namespace vistrel {

// Folders only, loaded one level at a time when a node is first opened. Three top nodes: the
// documents node (whose path text is "My Documents"), the home folder and the root "/". Hidden
// folders are not shown.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    FolderTreeModel(const QString &documentsFolder, const QString &homeFolder,
                    QObject *parent = nullptr);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // The node's path text: an absolute folder path, or "My Documents" for the documents node.
    QString pathOf(const QModelIndex &index) const;
    // The node for a path text, loading the folders on the way; invalid when a folder on the way
    // does not exist (any more).
    QModelIndex indexForPath(const QString &path);
    // Reads an opened folder's sub-folders again and brings its rows up to date; the tree calls
    // it each time the user opens or chooses a folder, so that a folder that had none when it
    // was first read gains its expand arrow once it has some.
    void reload(const QModelIndex &index);

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(Node *node) const;
    void load(Node *node);
    std::unique_ptr<Node> makeChild(Node *parent, const QString &name);
    static void renumber(Node *node);
    QModelIndex findChild(Node *parent, const QString &name);

    std::vector<std::unique_ptr<Node>> m_top;
    QString m_documentsFolder;
    QString m_homeFolder;
    // The style builds a new icon, reading its images, on every request; the view asks for the
    // icon of every row it measures or paints, so the two icons are made once.
    mutable QIcon m_folderIcon;
    mutable QIcon m_driveIcon;
};

} // namespace vistrel
