#include "common/errortext.h"

#include <QTest>

#include <cerrno>
#include <thread>
#include <vector>

using namespace vistrel;

// The text of an errno value, the same from every thread at once.
class TestErrorText : public QObject
{
    Q_OBJECT

private slots:
    void textOfTheValue_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing") << ENOENT << "No such file or directory";
        QTest::newRow("refused") << EACCES << "Permission denied";
        QTest::newRow("no value at all") << 0 << "Success";
        QTest::newRow("a value nobody knows") << 123456 << "Unknown error 123456";
    }
    void textOfTheValue()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        QCOMPARE(errorText(error), text);
        // Threads asking for other values meanwhile do not change one another's text.
        std::vector<QString> seen(8);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < seen.size(); ++i)
            threads.emplace_back([&seen, i, error] {
                for (int round = 0; round < 200; ++round) {
                    errorText(round % 2 ? EIO : 98765);
                    seen[i] = errorText(error);
                }
            });
        for (std::thread &thread : threads)
            thread.join();
        for (const QString &each : seen)
            QCOMPARE(each, text);
    }
};

QTEST_GUILESS_MAIN(TestErrorText)
#include "test_errortext.moc"
