#include "browse/foldertreemodel.h"

#include "browse/folderlisting.h"
#include "browse/nativename.h"
#include "browse/pathmap.h"
#include "browse/sortorder.h"

#include <QApplication>
#include <QStyle>

#include <dirent.h>

#include <algorithm>
#include <cstring>

namespace vistrel {

struct FolderTreeModel::Node
{
    QString label;
    QString pathText; // what the tree reports as its selected path
    QString folder;   // the folder whose sub-folders are the children
    Node *parent = nullptr;
    int row = 0;
    bool loaded = false;
    bool justLoaded = false; // read by the opening in progress; nothing to look at again
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

// Names of the visible sub-folders, ordered ignoring letter case.
std::vector<QString> subFolders(const QString &folder)
{
    std::vector<QString> names;
    DIR *dir = ::opendir(toNative(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (entryIs(dir, entry, EntryKind::Folder))
            names.push_back(fromNative(entry->d_name, qsizetype(std::strlen(entry->d_name))));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), nameLess);
    return names;
}

} // namespace

FolderTreeModel::FolderTreeModel(const QString &documentsFolder, const QString &homeFolder,
                                 QObject *parent)
    : QAbstractItemModel(parent), m_documentsFolder(documentsFolder), m_homeFolder(homeFolder)
{
    auto add = [this](const QString &label, const QString &pathText, const QString &folder) {
        auto node = std::make_unique<Node>();
        node->label = label;
        node->pathText = pathText;
        node->folder = folder;
        node->row = int(m_top.size());
        m_top.push_back(std::move(node));
    };
    add(documentsNodeText(), documentsNodeText(), documentsFolder);
    add(homeFolder, homeFolder, homeFolder);
    add(QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("/"));
}

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
    const Node *p = nodeOf(parent);
    return int(p ? p->children.size() : m_top.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
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
        return node->folder;
    case Qt::DecorationRole: {
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

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *p = nodeOf(parent);
    if (!p)
        return true;
    return !p->loaded || !p->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *p = nodeOf(parent);
    return p && !p->loaded;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    if (Node *p = nodeOf(parent)) {
        load(p);
        p->justLoaded = true; // the opening that asked for it need not read it again
    }
}

void FolderTreeModel::load(Node *node)
{
    if (node->loaded)
        return;
    node->loaded = true;
    const std::vector<QString> names = subFolders(node->folder);
    if (names.empty()) {
        // The expand arrow goes when a folder turns out to have no sub-folders.
        const QModelIndex index = indexOf(node);
        emit dataChanged(index, index);
        return;
    }
    beginInsertRows(indexOf(node), 0, int(names.size()) - 1);
    for (const QString &name : names)
        node->children.push_back(makeChild(node, name));
    renumber(node);
    endInsertRows();
}

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::makeChild(Node *parent, const QString &name)
{
    auto child = std::make_unique<Node>();
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
    if (!node || !node->loaded)
        return;
    if (node->justLoaded) {
        node->justLoaded = false;
        return;
    }
    // Sub-folders made, removed or renamed since the folder was last opened: rows that stay
    // keep their place, so the selection below this folder survives.
    const std::vector<QString> names = subFolders(node->folder);
    auto &children = node->children;
    for (int row = int(children.size()) - 1; row >= 0; --row) {
        if (std::binary_search(names.begin(), names.end(), children[std::size_t(row)]->label,
                               nameLess))
            continue;
        beginRemoveRows(index, row, row);
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
        children.insert(at, makeChild(node, name));
        renumber(node);
        endInsertRows();
    }
}

QString FolderTreeModel::pathOf(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? node->pathText : QString();
}

QModelIndex FolderTreeModel::findChild(Node *parent, const QString &name)
{
    load(parent);
    for (const auto &child : parent->children) {
        if (child->label == name)
            return indexOf(child.get());
    }
    return {};
}

QModelIndex FolderTreeModel::indexForPath(const QString &path)
{
    if (path == documentsNodeText())
        return indexOf(m_top[0].get());
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    // Folders below the home folder are found under the home node, the rest under "/".
    Node *start = m_top[2].get();
    QString rest = clean;
    const QString &home = m_homeFolder;
    if (home.size() > 1 && (clean == home || clean.startsWith(home + QLatin1Char('/')))) {
        start = m_top[1].get();
        rest = clean.mid(home.size());
    }
    QModelIndex current = indexOf(start);
    const QStringList parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        current = findChild(nodeOf(current), part);
        if (!current.isValid())
            return {};
    }
    return current;
}

} // namespace vistrel
