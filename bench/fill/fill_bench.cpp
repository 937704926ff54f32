// Times filling the picture list of a large folder by date and by name against a bare baseline
// of readdir + fstatat + std::sort on the same folder.
//   bench_fill make DIR COUNT   creates COUNT small files with spread modification times
//   bench_fill time DIR         prints the median times in milliseconds
//   bench_fill sort DIR         the sort command by date on the listed folder: how long the
//                               command held the thread, the longest time the event loop then
//                               did not answer, and the time until the list was in order

#include "browse/filelist.h"
#include "browse/folderbrowser.h"
#include "browse/picturelistmodel.h"
#include "browse/sortorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace vistrel;

namespace {

constexpr int runs = 7;

template<typename F> double medianMs(F &&work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int make(const char *dir, int count)
{
    ::mkdir(dir, 0755);
    const int fd = ::open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return 1;
    const char *ext[] = {"jpg", "JPG", "gif", "bmp"};
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "IMG_%06d.%s", int((i * 7919LL) % count), ext[i % 4]);
        const int f = ::openat(fd, name, O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (f < 0)
            return 1;
        ::close(f);
        timespec t[2];
        t[0].tv_sec = 1600000000 + (i * 104729L) % 50000000;
        t[0].tv_nsec = 0;
        t[1] = t[0];
        ::utimensat(fd, name, t, 0);
    }
    ::close(fd);
    return 0;
}

std::size_t baseline(const char *dir)
{
    struct Item
    {
        std::string name;
        std::int64_t mtime;
    };
    std::vector<Item> items;
    DIR *d = ::opendir(dir);
    const int fd = ::dirfd(d);
    while (const dirent *e = ::readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st;
        if (::fstatat(fd, e->d_name, &st, 0) == 0)
            items.push_back({e->d_name, st.st_mtim.tv_sec});
    }
    ::closedir(d);
    std::sort(items.begin(), items.end(),
              [](const Item &a, const Item &b) { return a.mtime < b.mtime; });
    return items.size();
}

struct FixedTree : TreeSelection
{
    QString path;
    QString selectedPath() const override { return path; }
};

int timeSort(const QString &folder)
{
    FixedTree tree;
    tree.path = folder;
    FolderBrowser browser(&tree);
    browser.reloaddir();
    while (browser.pendingFolder() == folder)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QElapsedTimer total;
    total.start();
    browser.sortByDate();
    const double command = double(total.nsecsElapsed()) / 1e6;
    // A timer every 5 ms: the longest gap between its ticks is how long the thread was busy.
    QTimer tick;
    tick.setInterval(5);
    QElapsedTimer gap;
    gap.start();
    double longest = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    tick.start();
    while (browser.isSortPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
    std::printf("command_ms %.1f longest_gap_ms %.1f until_sorted_ms %.1f listed %d\n", command,
                longest, double(total.nsecsElapsed()) / 1e6, browser.list()->count());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 4 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atoi(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "sort") == 0) {
        QCoreApplication app(argc, argv);
        return timeSort(QFile::decodeName(argv[2]));
    }
    if (argc < 3 || std::strcmp(argv[1], "time") != 0) {
        std::fprintf(stderr, "usage: bench_fill make DIR COUNT | time DIR | sort DIR\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString folder = QFile::decodeName(argv[2]);
    std::size_t listed = 0;
    auto fill = [&](bool byDate) {
        FileList files;
        PictureListModel list;
        files.setPath(folder);
        list.setEntries(byDate ? orderByDate(folder, files.names()) : orderByName(files.names()));
        listed = std::size_t(list.count());
    };
    const double byDate = medianMs([&] { fill(true); });
    const double byName = medianMs([&] { fill(false); });
    std::size_t baseCount = 0;
    const double base = medianMs([&] { baseCount = baseline(argv[2]); });
    std::printf("%zu %.1f %.1f %.1f\n", listed, byDate, byName, base);
    return listed == baseCount ? 0 : 3;
}
