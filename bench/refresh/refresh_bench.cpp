// Cost of automatic refresh on an unchanged folder, and how soon a new picture is taken in.
//   bench_refresh DIR SECONDS [--no-notify]
// Prints: cpu_percent_of_one_core  new_picture_latency_ms

#include "browse/folderbrowser.h"
#include "browse/foldermonitor.h"
#include "browse/picturelistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

using namespace vistrel;

namespace {

class FixedTree final : public TreeSelection
{
public:
    explicit FixedTree(QString path) : m_path(std::move(path)) {}
    QString selectedPath() const override { return m_path; }

private:
    QString m_path;
};

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return 2;
    QCoreApplication app(argc, argv);
    const QString folder = QFile::decodeName(argv[1]);
    const int seconds = std::atoi(argv[2]);
    FixedTree tree(folder);
    FolderBrowser browser(&tree);
    if (argc > 3 && std::strcmp(argv[3], "--no-notify") == 0)
        browser.monitor()->setNotificationsEnabled(false);
    browser.reloaddir();
    browser.autorefresh();
    const int before = browser.list()->count();

    const double cpuStart = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = (cpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9) * 100.0;

    // A complete new picture: written and closed, then timed until the list has it.
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/zz_new.jpg"));
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, "data", 4) != 4)
        return 1;
    ::close(fd);
    QElapsedTimer latency;
    latency.start();
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (browser.list()->count() > before || latency.elapsed() > 10000)
            app.quit();
    });
    poll.start();
    app.exec();
    std::printf("%.2f %lld\n", cpu, static_cast<long long>(latency.elapsed()));
    return browser.list()->count() > before ? 0 : 3;
}
