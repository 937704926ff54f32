#include <QTest>
class FolderFaultsTest : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(FolderFaultsTest)
#include "test_folderfaults.moc"
