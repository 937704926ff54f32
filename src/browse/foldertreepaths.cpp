// The tree's paths: the path of a folder shown, and the walk down to a path sought.

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

QString FolderTreeModel::pathOf(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? node->pathText : QString();
}

QModelIndex FolderTreeModel::findChild(Node *parent, const QString &name)
{
    for (const auto &child : parent->children) {
        if (child->label == name)
            return indexOf(child.get());
    }
    return {};
}

// The top node a path text starts from, and the names below it; null when no top node shows it.
FolderTreeModel::Node *FolderTreeModel::startOfPath(const QString &path, QStringList *parts) const
{
    parts->clear();
    for (auto top = m_top.rbegin(); top != m_top.rend(); ++top) {
        if (path == (*top)->pathText)
            return top->get();
    }
    if (!path.startsWith(QLatin1Char('/')))
        return nullptr;
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    // Under the top node showing the nearest folder above (the home folder before "/", the
    // later node of two showing the same folder); a top node whose path text is no folder path
    // (the documents node) finds only itself.
    Node *start = nullptr;
    for (const auto &top : m_top) {
        const QString &folder = top->folder;
        if (top->pathText != folder || (start && start->folder.size() > folder.size()))
            continue;
        if (folder == QLatin1String("/") || clean == folder ||
            clean.startsWith(folder + QLatin1Char('/')))
            start = top.get();
    }
    if (start)
        *parts = QStringView(clean)
                     .mid(start->folder.size())
                     .toString()
                     .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return start;
}

QModelIndex FolderTreeModel::indexForPath(const QString &path)
{
    QStringList parts;
    QModelIndex current = indexOf(startOfPath(path, &parts));
    for (const QString &part : parts) {
        if (!current.isValid())
            break;
        current = findChild(nodeOf(current), part);
    }
    return current;
}

FolderTreeModel::Seek FolderTreeModel::seekPath(const QString &path, QModelIndex *found)
{
    m_walk = Walk{};
    m_walk.at = indexOf(startOfPath(path, &m_walk.parts));
    m_walk.active = true;
    return walkOn(found);
}

// Walks down the path sought as far as the folders read allow; a folder on the way not read yet
// is read, and when it does not answer at once the walk goes on when its answer comes.
FolderTreeModel::Seek FolderTreeModel::walkOn(QModelIndex *found)
{
    const QScopedValueRollback<bool> walking(m_walking, true);
    for (;;) {
        Node *node = m_walk.at.isValid() ? nodeOf(m_walk.at) : nullptr;
        if (!node) {
            m_walk.active = false;
            return Seek::Missing;
        }
        if (m_walk.next == m_walk.parts.size()) {
            m_walk.active = false;
            *found = m_walk.at;
            return Seek::Found;
        }
        if (!node->loaded) {
            if (!node->reading())
                startRead(node);
            if (!node->loaded)
                return Seek::Pending;
        }
        m_walk.at = findChild(node, m_walk.parts[m_walk.next++]);
    }
}

} // namespace vistrel
