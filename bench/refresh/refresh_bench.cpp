// Cost of automatic refresh on an unchanged folder, and how soon a new picture is taken in.
//   bench_refresh DIR SECONDS [--no-notify]
// Prints one line:
//   cpu_percent_of_one_core stall_ms stall_cpu_ms new_picture_latency_ms rss_mb new_stall_ms
//   new_stall_cpu_ms
// The stall is the longest single event handled while the folder stood unchanged: the time the
// window could not repaint or take a key; new_stall_ms (and its CPU time) is the same from the
// moment a new picture is written until it is listed. The resident memory is read at the end of the
// quiet stretch.

#include "browse/folderbrowser.h"
#include "browse/foldermonitor.h"
#include "browse/picturelistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
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

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Measures the longest single event the application handled while armed: wall time (what a user
// waiting for a repaint feels) and the main thread's own CPU time (what the load of other
// programs on the machine cannot inflate).
class TimedApplication : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!m_armed || m_depth > 0)
            return QCoreApplication::notify(receiver, event);
        ++m_depth;
        const qint64 cpuStart = threadCpuNs();
        QElapsedTimer wall;
        wall.start();
        const bool result = QCoreApplication::notify(receiver, event);
        m_longestWall = std::max(m_longestWall, wall.nsecsElapsed());
        m_longestCpu = std::max(m_longestCpu, threadCpuNs() - cpuStart);
        --m_depth;
        return result;
    }
    void arm(bool on) { m_armed = on; }
    void restart() { m_longestWall = m_longestCpu = 0; }
    double longestWallMs() const { return double(m_longestWall) / 1e6; }
    double longestCpuMs() const { return double(m_longestCpu) / 1e6; }

private:
    static qint64 threadCpuNs()
    {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    qint64 m_longestWall = 0;
    qint64 m_longestCpu = 0;
    int m_depth = 0;
    bool m_armed = false;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return 2;
    TimedApplication app(argc, argv);
    const QString folder = QFile::decodeName(argv[1]);
    const int seconds = std::atoi(argv[2]);
    FixedTree tree(folder);
    FolderBrowser browser(&tree);
    if (argc > 3 && std::strcmp(argv[3], "--no-notify") == 0)
        browser.setNotificationsEnabled(false);
    browser.reloaddir();
    browser.autorefresh();
    const int before = browser.list()->count();

    // Settle first: whatever follows switching refresh on is not the steady cost.
    QTimer::singleShot(500, &app, &QCoreApplication::quit);
    app.exec();

    app.arm(true);
    const double cpuStart = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = (cpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9) * 100.0;
    app.arm(false);
    const double stallMs = app.longestWallMs();
    const double stallCpuMs = app.longestCpuMs();
    const double rss = residentMb();

    // A complete new picture: written and closed, then timed until the list has it.
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/zz_new.jpg"));
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, "data", 4) != 4)
        return 1;
    ::close(fd);
    app.restart();
    app.arm(true);
    QElapsedTimer latency;
    latency.start();
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (browser.list()->count() > before || latency.elapsed() > 30000)
            app.quit();
    });
    poll.start();
    app.exec();
    const qint64 latencyMs = latency.elapsed();
    app.arm(false);
    ::unlink(path.constData());
    std::printf("%.2f %.1f %.1f %lld %.0f %.1f %.1f\n", cpu, stallMs, stallCpuMs,
                static_cast<long long>(latencyMs), rss, app.longestWallMs(), app.longestCpuMs());
    return browser.list()->count() > before ? 0 : 3;
}
