#pragma once

// Driving a real main window in the hardening tests: a window over a temporary settings store,
// its commands by name, and the names in its picture list and on disk as bytes.

#include "app/mainwindow.h"
#include "browse/folderbrowser.h"
#include "browse/picturelistmodel.h"
#include "browse/sortorder.h"

#include "testutils.h"
#include <QAction>
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <dirent.h>

#include <algorithm>
#include <memory>

namespace vistrel::test {

// A main window whose settings live in a temporary INI file, loaded as at start-up.
class WindowSession
{
public:
    explicit WindowSession(const QString &iniPath = {})
        : m_store(iniPath.isEmpty() ? m_dir.filePath(QStringLiteral("vistrel.ini")) : iniPath),
          m_window(std::make_unique<MainWindow>(m_store))
    {
        m_window->Form_Load();
    }
    MainWindow &window() { return *m_window; }
    QString store() const { return m_store; }
    void trigger(const char *objectName)
    {
        if (QAction *a = m_window->findChild<QAction *>(QString::fromLatin1(objectName)))
            a->trigger();
    }
    bool isChecked(const char *objectName)
    {
        const QAction *a = m_window->findChild<QAction *>(QString::fromLatin1(objectName));
        return a && a->isChecked();
    }

private:
    vistrel::test::TemporaryDir m_dir;
    QString m_store;
    std::unique_ptr<MainWindow> m_window;
};

inline QList<QByteArray> listNames(MainWindow &window)
{
    QList<QByteArray> names;
    const PictureListModel *list = window.browser()->list();
    for (int i = 0; i < list->count(); ++i)
        names.append(list->entry(i)->nativeName);
    return names;
}

inline QList<QByteArray> sorted(QList<QByteArray> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Every entry of a folder but "." and "..", sorted; empty when it cannot be read.
inline QList<QByteArray> diskNames(const QString &folder)
{
    QList<QByteArray> names;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    return sorted(names);
}

} // namespace vistrel::test
