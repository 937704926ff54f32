#pragma once

#include "browse/folderlisting.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace vistrel {

// The listing of one folder's picture files that the picture list is built from. Pointing it at
// another folder reads that folder and announces the change; refresh() re-reads it quietly.
class FileList : public QObject
{
    Q_OBJECT

public:
    explicit FileList(QObject *parent = nullptr);

    QString path() const { return m_path; }
    // Reads folder. Emits pathChanged() when it differs from the current path. When the folder
    // cannot be read, the previous path and names stay, error() tells why and false is returned.
    bool setPath(const QString &folder);
    // As setPath, with the folder's listing read beforehand (off the window's thread, say).
    bool setPath(const QString &folder, FolderNames listing);
    // Re-reads the current folder without announcing anything.
    bool refresh();
    // As refresh, with the folder's listing read beforehand.
    bool refresh(FolderNames listing);

    int count() const { return int(m_names.size()); }
    const std::vector<QByteArray> &names() const { return m_names; }
    // Whether a name may be a symbolic link (see FolderNames).
    bool mayHoldLinks() const { return m_mayHoldLinks; }
    int error() const { return m_error; }

    // Brings the listing up to date for the names given, as reading the folder again would: each
    // is taken out, and put back when found (read off the window's thread: those of changed that
    // are regular files, or links to one, now) names it and it is not held back. Returns those
    // put back.
    std::vector<QByteArray> update(const std::vector<QByteArray> &changed,
                                   const FolderNames &found);
    // Counts every change of the names listed: a result ordered from an older listing is stale.
    quint64 generation() const { return m_generation; }

    // Names for which heldBack returns true are left out of the listing (a picture still being
    // written, for example). An empty function keeps every name.
    void setHoldBack(std::function<bool(const QByteArray &)> heldBack);
    bool isHeldBack(const QByteArray &name) const { return m_heldBack && m_heldBack(name); }

signals:
    void pathChanged();

private:
    bool take(const QString &folder, FolderNames listing);

    QString m_path;
    std::vector<QByteArray> m_names;
    std::vector<quint64> m_keys; // nameKey() of each name, in the same order
    bool m_mayHoldLinks = false;
    std::function<bool(const QByteArray &)> m_heldBack;
    int m_error = 0;
    quint64 m_generation = 0;
};

} // namespace vistrel
