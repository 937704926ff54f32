// The folder tree's model: folders only, hidden ones left out, and an opened folder brought up to
// date with folders made and removed while the program runs.

#include "browse/foldertreemodel.h"
#include "testutils.h"

#include <QDir>
#include <QTest>

using namespace vistrel;
using vistrel::test::Sandbox;

class TestFolderTreeModel : public QObject
{
    Q_OBJECT

private:
    static QStringList childNames(FolderTreeModel &model, const QModelIndex &parent)
    {
        QStringList names;
        for (int row = 0; row < model.rowCount(parent); ++row)
            names << model.index(row, 0, parent).data().toString();
        return names;
    }

private slots:
    void listsVisibleFoldersInOrder()
    {
        Sandbox box;
        box.mkdir(QStringLiteral("b"));
        box.mkdir(QStringLiteral("A"));
        box.mkdir(QStringLiteral(".hidden"));
        box.fill({QStringLiteral("file.jpg")});
        FolderTreeModel model(box.path(), box.path());
        const QModelIndex home = model.indexForPath(box.path());
        QVERIFY(home.isValid());
        QVERIFY(model.canFetchMore(home));
        model.fetchMore(home);
        QCOMPARE(childNames(model, home), QStringList({QStringLiteral("A"), QStringLiteral("b")}));
        QCOMPARE(model.pathOf(model.indexForPath(box.file(QStringLiteral("b")))),
                 box.file(QStringLiteral("b")));
        QVERIFY(!model.indexForPath(box.file(QStringLiteral("gone"))).isValid());
    }

    void reloadFollowsFoldersMadeAndRemoved()
    {
        Sandbox box;
        box.mkdir(QStringLiteral("keep"));
        box.mkdir(QStringLiteral("old"));
        FolderTreeModel model(box.path(), box.path());
        const QModelIndex home = model.indexForPath(box.path());
        model.fetchMore(home); // the user opens the folder...
        model.reload(home);    // ...and the opening that read it does not read it twice
        QCOMPARE(model.rowCount(home), 2);
        const QPersistentModelIndex kept = model.indexForPath(box.file(QStringLiteral("keep")));

        QVERIFY(QDir(box.path()).rename(QStringLiteral("old"), QStringLiteral("renamed")));
        box.mkdir(QStringLiteral("Apple"));
        model.reload(home);
        QCOMPARE(childNames(model, home),
                 QStringList(
                     {QStringLiteral("Apple"), QStringLiteral("keep"), QStringLiteral("renamed")}));
        // A row that stays is the same row: a selection on it survives the reload.
        QVERIFY(kept.isValid());
        QCOMPARE(model.pathOf(kept), box.file(QStringLiteral("keep")));
        QCOMPARE(kept.row(), 1);
        QCOMPARE(model.indexForPath(box.file(QStringLiteral("renamed"))).row(), 2);
    }
};

QTEST_MAIN(TestFolderTreeModel)
#include "tst_foldertreemodel.moc"
