// Turning the folder tree's selected path into the folder listed, and building file paths.

#include "browse/pathmap.h"

#include <QtTest>

using namespace vistrel;

class TestPathMap : public QObject
{
    Q_OBJECT

private slots:
    void folderForTreePath_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("folder");
        const QString docs = QStringLiteral("/home/u/Documents");
        QTest::newRow("absolute folder") << QStringLiteral("/srv/photos") << "/srv/photos";
        QTest::newRow("mounted network folder")
            << QStringLiteral("/mnt/share/dir") << "/mnt/share/dir";
        QTest::newRow("root") << QStringLiteral("/") << "/";
        QTest::newRow("documents node") << QStringLiteral("My Documents") << docs;
        QTest::newRow("documents node, other case") << QStringLiteral("my documents") << "/";
        QTest::newRow("documents node with a blank") << QStringLiteral("My Documents ") << "/";
        QTest::newRow("other named node") << QStringLiteral("Desktop") << "/";
        QTest::newRow("relative path") << QStringLiteral("photos/2024") << "/";
        QTest::newRow("drive-style path") << QStringLiteral("C:\\Photos") << "/";
        QTest::newRow("empty text") << QString() << "/";
    }
    void folderForTreePath()
    {
        QFETCH(QString, selected);
        QFETCH(QString, folder);
        QCOMPARE(vistrel::folderForTreePath(selected, QStringLiteral("/home/u/Documents")), folder);
    }

    void joinFolderAndName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("folder") << "/srv/photos"
                                << "a.jpg"
                                << "/srv/photos/a.jpg";
        QTest::newRow("folder ending in a slash") << "/srv/photos/"
                                                  << "a.jpg"
                                                  << "/srv/photos/a.jpg";
        QTest::newRow("root") << "/"
                              << "a.jpg"
                              << "/a.jpg";
        QTest::newRow("no name: the folder itself") << "/srv"
                                                    << ""
                                                    << "/srv/";
    }
    void joinFolderAndName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(vistrel::joinFolderAndName(folder, name), path);
        QCOMPARE(vistrel::joinFolderAndName(folder.toUtf8(), name.toUtf8()), path.toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestPathMap)
#include "test_pathmap.moc"
