// The folder tree's model: folders only, hidden ones left out, an opened or chosen folder
// brought up to date with folders made and removed while the program runs, and folders that
// are slow to read leaving the window answering.

#include "browse/foldertree.h"
#include "browse/foldertreemodel.h"
#include "slowfolders.h"
#include "testutils.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <linux/magic.h>
#include <sys/vfs.h>

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
    // One top node showing the sandbox: the model tester walks every folder it can reach.
    static std::vector<FolderTreeRoot> rootAt(const Sandbox &box)
    {
        return {{QStringLiteral("box"), box.path(), box.path()}};
    }
    // The node for a path, its folders on the way read as the program reads them: off the
    // window's thread, waited for here.
    static QModelIndex seek(FolderTreeModel &model, const QString &path)
    {
        QSignalSpy found(&model, &FolderTreeModel::pathFound);
        QModelIndex index;
        if (model.seekPath(path, &index) == FolderTreeModel::Seek::Pending && found.wait(20000))
            index = found.first().first().value<QModelIndex>();
        return index;
    }
    static QAbstractItemModelTester *testerOf(QAbstractItemModel *model)
    {
        return new QAbstractItemModelTester(
            model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
    }

private slots:
    void listsVisibleFoldersInOrder()
    {
        Sandbox box;
        box.mkdir(QStringLiteral("b"));
        box.mkdir(QStringLiteral("A"));
        box.mkdir(QStringLiteral(".hidden"));
        box.fill({QStringLiteral("file.jpg")});
        FolderTreeModel model(rootAt(box));
        const QModelIndex home = model.indexForPath(box.path());
        QVERIFY(home.isValid());
        QVERIFY(model.canFetchMore(home));
        testerOf(&model);
        model.fetchMore(home);
        QTRY_COMPARE(childNames(model, home),
                     QStringList({QStringLiteral("A"), QStringLiteral("b")}));
        QCOMPARE(model.pathOf(model.indexForPath(box.file(QStringLiteral("b")))),
                 box.file(QStringLiteral("b")));
        QVERIFY(!model.indexForPath(box.file(QStringLiteral("gone"))).isValid());
        QVERIFY(!seek(model, box.file(QStringLiteral("gone"))).isValid());
    }

    void reloadFollowsFoldersMadeAndRemoved()
    {
        Sandbox box;
        box.mkdir(QStringLiteral("keep"));
        box.mkdir(QStringLiteral("old"));
        FolderTreeModel model(rootAt(box));
        testerOf(&model);
        const QModelIndex home = model.indexForPath(box.path());
        model.fetchMore(home); // the user opens the folder...
        model.reload(home);    // ...and the opening that read it does not read it twice
        QTRY_COMPARE(model.rowCount(home), 2);
        const QPersistentModelIndex kept = model.indexForPath(box.file(QStringLiteral("keep")));

        QVERIFY(QDir(box.path()).rename(QStringLiteral("old"), QStringLiteral("renamed")));
        box.mkdir(QStringLiteral("Apple"));
        model.reload(home);
        QTRY_COMPARE(childNames(model, home),
                     QStringList({QStringLiteral("Apple"), QStringLiteral("keep"),
                                  QStringLiteral("renamed")}));
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
        FolderTree tree(rootAt(box));
        testerOf(tree.model());
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

    // A chosen folder without sub-folders loses its expand arrow, and so does one that the
    // reading of the folder above finds without any where the file system counts them; a folder
    // found gone when chosen leaves the tree once the selection has moved back.
    void arrowsOnlyWhereSubFoldersAreAndVanishedFoldersGo()
    {
        Sandbox box;
        const QString leaf = box.mkdir(QStringLiteral("leaf"));
        const QString parent = box.mkdir(QStringLiteral("parent"));
        const QString child = box.mkdir(QStringLiteral("parent/child"));
        const QString gone = box.mkdir(QStringLiteral("vanished"));
        FolderTree tree(rootAt(box));
        auto *model = static_cast<FolderTreeModel *>(tree.model());
        testerOf(model);
        QVERIFY(tree.setSelectedPath(leaf));
        QTRY_VERIFY(!model->hasChildren(model->indexForPath(leaf)));
        QVERIFY(model->hasChildren(model->indexForPath(parent)));
        struct statfs fs;
        QCOMPARE(::statfs(QFile::encodeName(box.path()).constData(), &fs), 0);
        if (fs.f_type == TMPFS_MAGIC || fs.f_type == EXT4_SUPER_MAGIC)
            QVERIFY(!model->hasChildren(seek(*model, child)));

        QVERIFY(QDir().rmdir(gone));
        QVERIFY(tree.setSelectedPath(gone));
        const QModelIndex top = model->indexForPath(box.path());
        QTRY_VERIFY(!model->isLoading(tree.currentIndex())); // the read has come back...
        QCOMPARE(model->rowCount(top), 3);                   // ...and the chosen folder stays
        tree.restoreSelectedPath(leaf);
        QTRY_COMPARE(childNames(*model, top),
                     QStringList({QStringLiteral("leaf"), QStringLiteral("parent")}));
        QCOMPARE(tree.selectedPath(), leaf);
    }

    // A folder that takes seconds to open (a network mount that stopped answering): the user
    // opens it, it shows "Loading…", the window answers all along, and the answer fills it. A
    // tree that goes while a read is under way takes the answer with it.
    void slowFolderLeavesTheWindowAnswering()
    {
        const int delay = qEnvironmentVariableIsSet("VISTREL_SLOW_MS")
                              ? qEnvironmentVariableIntValue("VISTREL_SLOW_MS")
                              : 2000;
        Sandbox box;
        const QString slow = box.mkdir(QStringLiteral("slow"));
        box.mkdir(QStringLiteral("slow/inner"));
        const struct Slowed
        {
            explicit Slowed(const QString &prefix, int ms)
            {
                vistrel_slow_folders(QFile::encodeName(prefix).constData(), ms);
            }
            ~Slowed() { vistrel_slow_folders(nullptr, 0); }
        } slowed(slow, delay);
        auto *tree = new FolderTree(rootAt(box));
        FolderTreeModel *model = static_cast<FolderTreeModel *>(tree->model());
        tree->resize(400, 300);
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree));
        QVERIFY(tree->setSelectedPath(box.path()));
        tree->expand(tree->currentIndex());
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->selectedPath(), slow);
        const QPersistentModelIndex slowIndex = tree->currentIndex();

        // The window's pulse: a timer due every 10 ms, and the gaps between its ticks while the
        // folder is being read.
        QElapsedTimer clock;
        std::vector<qint64> gaps;
        QTimer pulse;
        pulse.setTimerType(Qt::PreciseTimer);
        pulse.setInterval(10);
        connect(&pulse, &QTimer::timeout, this, [&] {
            const qint64 gap = clock.restart();
            if (model->isLoading(slowIndex))
                gaps.push_back(gap);
        });
        clock.start();
        pulse.start();
        QTimer::singleShot(50, tree, [tree] { QTest::keyClick(tree, Qt::Key_Right); });
        QTRY_VERIFY(model->isLoading(slowIndex));
        QCOMPARE(childNames(*model, slowIndex), QStringList{QStringLiteral("Loading…")});
        QVERIFY(!(model->flags(model->index(0, 0, slowIndex)) & Qt::ItemIsSelectable));
        QTRY_VERIFY_WITH_TIMEOUT(!model->isLoading(slowIndex), delay + 10000);
        pulse.stop();
        QCOMPARE(childNames(*model, slowIndex), QStringList{QStringLiteral("inner")});
        QCOMPARE(tree->selectedPath(), slow);
        // The pulse ticked while the folder was being read: the window's thread did not wait.
        std::sort(gaps.begin(), gaps.end());
        QVERIFY(!gaps.empty());
        qInfo("event loop while a %d ms read runs: longest gap %lld ms, median %lld ms", delay,
              gaps.back(), gaps[gaps.size() / 2]);

        // A path set from code through the slow folder does not wait for it: it is chosen when
        // the folder answers, and another path set meanwhile drops it.
        const QString inner = slow + QStringLiteral("/inner");
        FolderTree waiting(rootAt(box)), left(rootAt(box));
        QSignalSpy settled(&waiting, &FolderTree::pathSettled);
        QSignalSpy leftSettled(&left, &FolderTree::pathSettled);
        QVERIFY(waiting.setSelectedPath(inner));
        QVERIFY(left.setSelectedPath(inner));
        QCOMPARE(waiting.pendingPath(), inner);
        QCOMPARE(waiting.selectedPath(), QString());
        QVERIFY(left.setSelectedPath(box.path()));
        QCOMPARE(left.pendingPath(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 1, delay + 10000);
        QCOMPARE(settled.at(0).at(1).toBool(), true);
        QCOMPARE(waiting.selectedPath(), inner);
        QCOMPARE(left.selectedPath(), box.path());
        QCOMPARE(leftSettled.count(), 0);

        // The tree goes while a read is under way: its answer is dropped.
        const int threads = test::threadCount();
        model->reload(slowIndex);
        QVERIFY(model->isLoading(slowIndex));
        delete tree;
        QVERIFY(test::detachedWorkEnded(threads));

        // Filled and read again with the model checked throughout; the rows stay until the
        // answer comes.
        box.mkdir(QStringLiteral("slow/added"));
        FolderTreeModel checked(rootAt(box));
        testerOf(&checked);
        const QModelIndex slowRow = seek(checked, slow);
        QTRY_COMPARE_WITH_TIMEOUT(childNames(checked, slowRow),
                                  (QStringList{QStringLiteral("added"), QStringLiteral("inner")}),
                                  delay + 10000);
        box.mkdir(QStringLiteral("slow/later"));
        checked.reload(slowRow);
        QVERIFY(checked.isLoading(slowRow));
        QCOMPARE(checked.rowCount(slowRow), 2);
        QTRY_COMPARE_WITH_TIMEOUT(checked.rowCount(slowRow), 3, delay + 10000);
    }
};

QTEST_MAIN(TestFolderTreeModel)
#include "test_foldertreemodel.moc"
