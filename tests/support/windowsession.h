#pragma once

// The main window as the tests drive it: made as the program makes it, over a settings store of
// its own, with its commands by name, the names in its picture list and on disk as bytes, and
// waits for the outcomes that may come late on a busy machine.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/settingsreader.h"
#include "app/settingssaver.h"
#include "browse/folderbrowser.h"
#include "browse/foldertree.h"
#include "browse/picturelistmodel.h"
#include "browse/sortorder.h"
#include "viewer/picturedisplay.h"

#include "settingsfile.h"
#include "testutils.h"
#include <QAction>
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

#include <dirent.h>

#include <algorithm>

namespace vistrel::test {

// A main window whose settings live in a store of its own (settingsFile: the stored lines, in
// Vistrel.ini of a temporary folder unless storePath names the file), with the seams' doubles
// in place for its lifetime. As at start-up, the settings read is begun before the window, which
// takes what has answered within the quick answer; a read that answers later is taken in when it
// comes (settle() waits for that).
class WindowSession
{
public:
    explicit WindowSession(const QByteArray &ini = QByteArray(),
                           const QString &storePath = QString())
        : store(settingsFile(dir.path(), ini, storePath)), reader(new SettingsReader(store)),
          window(store, reader)
    {}
    WindowSession(const WindowSession &) = delete;
    WindowSession &operator=(const WindowSession &) = delete;

    vistrel::test::TemporaryDir dir;
    ScopedServices services;
    QString store;
    SettingsReader *const reader; // owned by the window from its start
    MainWindow window;

    // Restores the window from the store as at start-up, and waits for what comes late.
    bool load()
    {
        window.Form_Load();
        return settle();
    }
    // Waits (up to 20 s) until nothing asked is still to answer: the settings read, the folder
    // chosen and its order, the path set in the tree, the picture shown, a save.
    bool settle()
    {
        return QTest::qWaitFor(
            [this] {
                return !reader->isPending() && browser()->pendingFolder().isEmpty() &&
                       !browser()->isSortPending() &&
                       window.folderTree()->pendingPath().isEmpty() &&
                       !window.display()->isPending() && !window.settingsSaver()->isSaving();
            },
            20000);
    }
    // Sets the tree's path as the program does (the command line, the saved folder), and waits
    // for the folder to be listed. False when the path names no folder of the tree.
    bool choose(const QString &folder)
    {
        return window.folderTree()->setSelectedPath(folder) && settle();
    }
    // Saves the settings, and waits for the save's outcome.
    bool save()
    {
        window.savesettings();
        return settle();
    }

    Commands *commands() const { return window.commands(); }
    QAction *action(Commands::Id id) const { return commands()->action(id); }
    FolderBrowser *browser() const { return window.browser(); }
    void trigger(const char *objectName)
    {
        if (QAction *a = window.findChild<QAction *>(QString::fromLatin1(objectName)))
            a->trigger();
    }
    bool isChecked(const char *objectName) const
    {
        const QAction *a = window.findChild<QAction *>(QString::fromLatin1(objectName));
        return a && a->isChecked();
    }
    // The names in the picture list, as shown.
    QStringList names() const
    {
        QStringList shown;
        const PictureListModel *list = browser()->list();
        for (int i = 0; i < list->count(); ++i)
            shown.append(list->entry(i)->name);
        return shown;
    }
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
