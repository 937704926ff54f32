// Fills a folder with copies of one small JPEG under numbered names, with modification times
// spread so that the date order differs from the name order.
//   bench_makefolder SOURCE.jpg DIR COUNT

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_makefolder SOURCE.jpg DIR COUNT\n");
        return 2;
    }
    std::vector<char> bytes;
    if (FILE *f = std::fopen(argv[1], "rb")) {
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    if (bytes.empty())
        return 1;
    ::mkdir(argv[2], 0755);
    const int dir = ::open(argv[2], O_RDONLY | O_DIRECTORY);
    const long count = std::atol(argv[3]);
    for (long i = 0; i < count && dir >= 0; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05ld.jpg", i);
        const int fd = ::openat(dir, name, O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            return 1;
        timespec t[2];
        t[0].tv_sec = 1500000000 + (i * 7919L) % count * 60;
        t[0].tv_nsec = 0;
        t[1] = t[0];
        ::futimens(fd, t);
        ::close(fd);
    }
    return dir >= 0 ? 0 : 1;
}
