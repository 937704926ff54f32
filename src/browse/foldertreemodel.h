#pragma once

#include "browse/subfolders.h"
#include "common/requests.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>

#include <memory>
#include <vector>

namespace vistrel {

// A top node of the folder tree: what it shows, the path text the tree reports when it is
// chosen, and the folder whose sub-folders are its children.
struct FolderTreeRoot
{
    QString label;
    QString pathText;
    QString folder;
};

// Folders only, loaded one level at a time when a node is first opened. Hidden folders are not
// shown. Opening or choosing a folder reads its sub-folders on a thread of their own: a folder
// that does not answer at once shows a "Loading…" row until it does, and the window goes on
// answering meanwhile.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    // The program's three top nodes: the documents node (whose path text is "My Documents"),
    // the home folder and the root "/".
    static std::vector<FolderTreeRoot> standardRoots(const QString &documentsFolder,
                                                     const QString &homeFolder);
    explicit FolderTreeModel(std::vector<FolderTreeRoot> roots, QObject *parent = nullptr);
    FolderTreeModel(const QString &documentsFolder, const QString &homeFolder,
                    QObject *parent = nullptr);
    ~FolderTreeModel() override;

    using SubFolders = vistrel::SubFolders;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // The node's path text: an absolute folder path, or "My Documents" for the documents node;
    // empty for the "Loading…" row.
    QString pathOf(const QModelIndex &index) const;
    // The node for a path text, loading the folders on the way in place (only those read before,
    // when readOnTheWay is false); invalid when a folder on the way does not exist (any more). A
    // path below a top node's folder is found under the top node with the longest such folder.
    QModelIndex indexForPath(const QString &path, bool readOnTheWay = true);
    enum class Seek { Found, Missing, Pending };
    // As indexForPath, with the folders on the way read as opening them does (off the caller's
    // thread): Found (and *found set) or Missing when it is known at once; Pending when a folder
    // on the way is slow to answer: pathFound tells the end, unless another seek or dropSeek()
    // came first.
    Seek seekPath(const QString &path, QModelIndex *found);
    void dropSeek() { m_walk.active = false; }
    // Reads an opened folder's sub-folders again and brings its rows up to date; the tree calls
    // it each time the user opens or chooses a folder, so that a folder that had none when it
    // was first read gains its expand arrow once it has some.
    void reload(const QModelIndex &index);
    // Whether a read of the node's sub-folders is still awaited.
    bool isLoading(const QModelIndex &index) const;
    // Takes a folder's node (not a top node) out of the tree.
    void removeFolder(const QModelIndex &index);

signals:
    // A read found that the node's folder no longer exists; the node stays until it is removed.
    void folderVanished(const QModelIndex &index);
    // The end of a pending seek: the node found, or invalid when a folder on the way is missing.
    void pathFound(const QModelIndex &index);

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(Node *node) const;
    void startRead(Node *node);
    void readArrived(Node *node, const SubFolders &read);
    void loadNow(Node *node);
    void update(Node *node, const SubFolders &read);
    void forgetReads(Node *node);
    std::unique_ptr<Node> makeChild(Node *parent, const QString &name, const SubFolders &read);
    static void renumber(Node *node);
    QModelIndex findChild(Node *parent, const QString &name, bool read);
    Node *startOfPath(const QString &path, QStringList *parts) const;
    Seek walkOn(QModelIndex *found);

    // The path being sought: the parts still to find below the node reached.
    struct Walk
    {
        QStringList parts;
        int next = 0;
        QPersistentModelIndex at;
        bool active = false;
    };
    Walk m_walk;
    bool m_walking = false;

    std::vector<std::unique_ptr<Node>> m_top;
    bool m_changing = false; // rows are being changed: a fetch waits until that is over
    // The style builds a new icon, reading its images, on every request; the view asks for the
    // icon of every row it measures or paints, so the two icons are made once.
    mutable QIcon m_folderIcon;
    mutable QIcon m_driveIcon;
    // Last: answers stop before anything else goes (each node's line drops its own with it).
    Requests m_reads{this};
};

} // namespace vistrel
