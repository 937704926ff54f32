#pragma once

// Shared fixtures for the tests: replaced seams and a sandbox folder with files at chosen times.

#include "common/requests.h"
#include "common/services.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::test {

// Removes a folder and everything under it by the bytes of the names, making folders that a test
// locked readable first. Symbolic links are removed, never followed.
inline void removeTree(const QByteArray &path)
{
    struct stat status = {};
    if (::lstat(path.constData(), &status) != 0)
        return;
    if (S_ISDIR(status.st_mode)) {
        ::chmod(path.constData(), 0700);
        if (DIR *dir = ::opendir(path.constData())) {
            QList<QByteArray> names;
            while (const dirent *entry = ::readdir(dir)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    names.append(QByteArray(entry->d_name));
            }
            ::closedir(dir);
            for (const QByteArray &name : names)
                removeTree(path + '/' + name);
        }
        ::rmdir(path.constData());
    } else {
        ::unlink(path.constData());
    }
}

// QTemporaryDir that goes away whole, also when a test put names in it that are not UTF-8: Qt
// reads such a name as text with U+FFFD for the stray bytes, which then names no file, so its own
// removal leaves the file and every folder above it behind.
class TemporaryDir : public QTemporaryDir
{
public:
    using QTemporaryDir::QTemporaryDir;
    ~TemporaryDir()
    {
        if (isValid() && autoRemove())
            removeTree(QFile::encodeName(path()));
    }
    TemporaryDir(const TemporaryDir &) = delete;
    TemporaryDir &operator=(const TemporaryDir &) = delete;
};

// The processor time the whole process has used, in milliseconds: what a costly file costs,
// whatever else the machine runs meanwhile (a time on the wall clock is a benchmark's figure).
inline qint64 processorMs()
{
    timespec used = {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000 + used.tv_nsec / 1000000;
}

// How many threads this process runs now, less the request pool's idle ones: those are kept for
// the next request, so only a thread at work says that work is still to answer.
inline int threadCount()
{
    const int idle = Requests::threads() - Requests::busyThreads();
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size()) -
           idle;
}

// Waits (up to 20 s) until no more threads run than `before` counted, then handles what they
// posted to this thread. A detached worker posts its late answer before it ends, so by then every
// such answer has come or been dropped: the proof that a late answer was dropped, where a short
// wait would prove nothing on a busy machine.
inline bool detachedWorkEnded(int before)
{
    if (!QTest::qWaitFor([before] { return threadCount() <= before; }, 20000))
        return false;
    for (int round = 0; round < 3; ++round) // an answer taken in may post a step of its own
        QCoreApplication::sendPostedEvents();
    return true;
}

// Answers questions from a script (Yes when the script runs out, unless told otherwise) and
// records every prompt it was shown, with its title.
class ScriptedPrompter final : public Prompter
{
public:
    enum Kind { Question, Critical, Information };
    struct Shown
    {
        Kind kind;
        QString prompt;
        QString title;
    };

    QList<bool> answers;
    bool answerWhenEmpty = false;
    QList<Shown> shown;

    bool askYesNo(const QString &prompt, const QString &title) override
    {
        shown.append({Question, prompt, title});
        return answers.isEmpty() ? answerWhenEmpty : answers.takeFirst();
    }
    void critical(const QString &prompt, const QString &title) override
    {
        shown.append({Critical, prompt, title});
    }
    void inform(const QString &prompt, const QString &title) override
    {
        shown.append({Information, prompt, title});
    }
    int count(Kind kind) const
    {
        int n = 0;
        for (const Shown &s : shown)
            n += s.kind == kind ? 1 : 0;
        return n;
    }
};

// Counts requests to end the run instead of ending it.
class RecordingTerminator final : public Terminator
{
public:
    int ends = 0;
    void endNow() override { ++ends; }
};

// Installs the two doubles for the lifetime of a test and puts the previous ones back.
class ScopedServices
{
public:
    ScriptedPrompter prompts;
    RecordingTerminator ends;

    ScopedServices() : m_prompter(setPrompter(&prompts)), m_terminator(setTerminator(&ends)) {}
    ~ScopedServices()
    {
        setPrompter(m_prompter);
        setTerminator(m_terminator);
    }
    ScopedServices(const ScopedServices &) = delete;
    ScopedServices &operator=(const ScopedServices &) = delete;

private:
    Prompter *m_prompter;
    Terminator *m_terminator;
};

// The bytes of a small valid picture (8x6, one colour) in the given format, such as "JPG".
inline QByteArray tinyPicture(const char *format = "JPG", QRgb colour = qRgb(40, 120, 200))
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// While it lives, no regular file can be written beyond the given size, as on a disk that is full:
// writes past it fail (EFBIG) instead of ending the process. Neither root nor the file system's
// free space changes that, so it stands in for a full disk in every test run.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
};

// A temporary folder that tests fill with named files and stamp with modification times.
class Sandbox
{
public:
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Creates each file with a few bytes of content.
    void fill(const QStringList &names, const QByteArray &content = QByteArrayLiteral("x"))
    {
        for (const QString &name : names)
            write(name, content);
    }
    void write(const QString &name, const QByteArray &content)
    {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
    // Sets the modification time (seconds since the epoch) with utimensat.
    bool setMtime(const QString &name, std::time_t seconds) const
    {
        return stampNative(QFile::encodeName(file(name)), seconds);
    }
    static bool stampNative(const QByteArray &nativePath, std::time_t seconds)
    {
        timespec times[2];
        times[0].tv_sec = seconds;
        times[0].tv_nsec = 0;
        times[1] = times[0];
        return ::utimensat(AT_FDCWD, nativePath.constData(), times, 0) == 0;
    }
    QString mkdir(const QString &name) const
    {
        QDir(path()).mkpath(name);
        return file(name);
    }

private:
    TemporaryDir m_dir;
};

} // namespace vistrel::test
