// The folder tree's model: folders only, hidden ones left out, and an opened or chosen folder
// brought up to date with folders made and removed while the program runs.

#include "browse/foldertree.h"
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

    // A folder empty when first opened loses its expand arrow; choosing it again with the mouse
    // shows the sub-folder made since, which can then be opened and chosen.
    void chosenFolderThatWasEmptyGainsSubFolders()
    {
        Sandbox box;
        const QString empty = box.mkdir(QStringLiteral("empty"));
        const QString other = box.mkdir(QStringLiteral("other"));
        FolderTree tree(box.path(), box.path());
        tree.resize(400, 300);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QVERIFY(tree.setSelectedPath(empty));
        const QModelIndex index = tree.currentIndex();
        tree.expand(index);
        QVERIFY(!tree.model()->hasChildren(index));

        box.mkdir(QStringLiteral("empty/new"));
        QVERIFY(tree.setSelectedPath(other));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(index).center());
        QCOMPARE(tree.selectedPath(), empty);
        QVERIFY(tree.model()->hasChildren(index));
        QVERIFY(tree.setSelectedPath(empty + QStringLiteral("/new")));
        QCOMPARE(tree.selectedPath(), empty + QStringLiteral("/new"));
    }
};

QTEST_MAIN(TestFolderTreeModel)
#include "tst_foldertreemodel.moc"
