#include "browse/foldertreemodel.h"

#include "browse/foldertreenode.h"
#include "browse/pathmap.h"
#include "browse/sortorder.h"
#include "browse/subfolders.h"
#include "common/nativename.h"

#include <QApplication>
#include <QScopedValueRollback>
#include <QStyle>

#include <algorithm>

namespace vistrel {

std::vector<FolderTreeRoot> FolderTreeModel::standardRoots(const QString &documentsFolder,
                                                           const QString &homeFolder)
{
    return {{documentsNodeText(), documentsNodeText(), documentsFolder},
            {homeFolder, homeFolder, homeFolder},
            {QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("/")}};
}

FolderTreeModel::FolderTreeModel(std::vector<FolderTreeRoot> roots, QObject *parent)
    : QAbstractItemModel(parent)
{
    for (FolderTreeRoot &root : roots) {
        auto node = std::make_unique<Node>();
        node->label = std::move(root.label);
        node->pathText = std::move(root.pathText);
        node->folder = std::move(root.folder);
        node->row = int(m_top.size());
        m_top.push_back(std::move(node));
    }
}

FolderTreeModel::FolderTreeModel(const QString &documentsFolder, const QString &homeFolder,
                                 QObject *parent)
    : FolderTreeModel(standardRoots(documentsFolder, homeFolder), parent)
{}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOf(Node *node) const
{
    return node ? createIndex(node->row, 0, node) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const Node *p = nodeOf(parent);
    const auto &list = p ? p->children : m_top;
    if (row >= int(list.size()))
        return {};
    return createIndex(row, 0, list[std::size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    const Node *node = nodeOf(child);
    return node ? indexOf(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node *p = nodeOf(parent);
    return int(p ? p->children.size() : m_top.size());
}

int FolderTreeModel::columnCount(const QModelIndex &parent) const
{
    return parent.column() > 0 ? 0 : 1;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    const Node *node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->label;
    case Qt::ToolTipRole:
        return node->placeholder ? QVariant() : QVariant(node->folder);
    case Qt::DecorationRole: {
        if (node->placeholder)
            return {};
        QIcon &icon = node->parent ? m_folderIcon : m_driveIcon;
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(node->parent ? QStyle::SP_DirIcon
                                                                    : QStyle::SP_DriveHDIcon);
        return icon;
    }
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    // The "Loading…" row can be neither chosen nor stepped on.
    const Node *node = nodeOf(index);
    return node && node->placeholder ? Qt::NoItemFlags : QAbstractItemModel::flags(index);
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return false;
    const Node *p = nodeOf(parent);
    if (!p)
        return true;
    return !p->loaded || !p->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *p = nodeOf(parent);
    return p && !p->loaded && !p->reading();
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    Node *p = nodeOf(parent);
    if (!p || p->loaded || p->reading())
        return;
    if (m_changing) {
        // Asked by someone told of rows being changed: the change is finished first.
        QMetaObject::invokeMethod(
            this, [this, index = QPersistentModelIndex(parent)] { fetchMore(index); },
            Qt::QueuedConnection);
        return;
    }
    startRead(p);
    // Read in place: the opening that asked for it need not read it again.
    p->justLoaded = p->loaded;
}

bool FolderTreeModel::isLoading(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node && node->reading();
}

void FolderTreeModel::startRead(Node *node)
{
    if (!node->reads)
        node->reads = std::make_unique<RequestLine>(m_reads);
    // The same read as the picture list's of the folder chosen: one listing serves both. The
    // node outlives an answer to its line: its line goes with it.
    const std::optional<SharedFolderRead> read = node->reads->run<SharedFolderRead>(
        {node->folder, folderReadKind()}, [folder = node->folder] { return readFolder(folder); },
        [this, node](SharedFolderRead late) { readArrived(node, late->sub); });
    if (read) {
        readArrived(node, (*read)->sub);
        return;
    }
    if (node->loaded)
        return; // the rows read last stay until the new answer comes
    auto placeholder = std::make_unique<Node>();
    placeholder->label = QStringLiteral("Loading…");
    placeholder->parent = node;
    placeholder->loaded = true;
    placeholder->placeholder = true;
    beginInsertRows(indexOf(node), 0, 0);
    node->children.push_back(std::move(placeholder));
    endInsertRows();
}

void FolderTreeModel::readArrived(Node *node, const SubFolders &read)
{
    update(node, read);
    // A top node stays: it is one of the program's own, whether its folder is there or not.
    if (read.gone && node->parent)
        emit folderVanished(indexOf(node));
    // A path sought through this folder goes on.
    if (m_walk.active && !m_walking && nodeOf(m_walk.at) == node) {
        QModelIndex found;
        if (walkOn(&found) != Seek::Pending)
            emit pathFound(found);
    }
}

void FolderTreeModel::removeFolder(const QModelIndex &index)
{
    Node *node = nodeOf(index);
    if (!node || !node->parent)
        return;
    Node *parent = node->parent;
    const int row = node->row;
    beginRemoveRows(indexOf(parent), row, row);
    forgetReads(node);
    parent->children.erase(parent->children.begin() + row);
    renumber(parent);
    endRemoveRows();
}

void FolderTreeModel::forgetReads(Node *node)
{
    if (node->reads)
        node->reads->drop();
    for (const auto &child : node->children)
        forgetReads(child.get());
}

void FolderTreeModel::update(Node *node, const SubFolders &read)
{
    const std::vector<QString> &names = read.names;
    const QScopedValueRollback<bool> changing(m_changing, true);
    const QModelIndex index = indexOf(node);
    auto &children = node->children;
    if (!node->loaded) {
        node->loaded = true;
        if (!children.empty()) { // the "Loading…" row
            beginRemoveRows(index, 0, int(children.size()) - 1);
            children.clear();
            endRemoveRows();
        }
        if (names.empty()) {
            // The expand arrow goes when a folder turns out to have no sub-folders.
            emit dataChanged(index, index);
            return;
        }
        beginInsertRows(index, 0, int(names.size()) - 1);
        for (const QString &name : names)
            children.push_back(makeChild(node, name, read));
        renumber(node);
        endInsertRows();
        return;
    }
    // Sub-folders made, removed or renamed since the folder was last read: rows that stay keep
    // their place, so the selection below this folder survives.
    for (int row = int(children.size()) - 1; row >= 0; --row) {
        if (std::binary_search(names.begin(), names.end(), children[std::size_t(row)]->label,
                               nameLess))
            continue;
        beginRemoveRows(index, row, row);
        forgetReads(children[std::size_t(row)].get());
        children.erase(children.begin() + row);
        renumber(node);
        endRemoveRows();
    }
    for (const QString &name : names) {
        const auto at = std::lower_bound(children.begin(), children.end(), name,
                                         [](const std::unique_ptr<Node> &child, const QString &n) {
                                             return nameLess(child->label, n);
                                         });
        if (at != children.end() && (*at)->label == name)
            continue;
        const int row = int(at - children.begin());
        beginInsertRows(index, row, row);
        children.insert(at, makeChild(node, name, read));
        renumber(node);
        endInsertRows();
    }
}

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::makeChild(Node *parent, const QString &name,
                                                                  const SubFolders &read)
{
    auto child = std::make_unique<Node>();
    // Known to have no sub-folders: read, with nothing to show, and so without an expand arrow.
    child->loaded = std::binary_search(read.leaves.begin(), read.leaves.end(), name, nameLess);
    child->label = name;
    child->folder = joinFolderAndName(parent->folder, name);
    child->pathText = child->folder;
    child->parent = parent;
    return child;
}

void FolderTreeModel::renumber(Node *node)
{
    for (std::size_t i = 0; i < node->children.size(); ++i)
        node->children[i]->row = int(i);
}

void FolderTreeModel::reload(const QModelIndex &index)
{
    Node *node = nodeOf(index);
    if (!node)
        return;
    if (node->justLoaded) {
        node->justLoaded = false;
        return;
    }
    if (!node->reading() && !node->placeholder)
        startRead(node);
}

} // namespace vistrel
