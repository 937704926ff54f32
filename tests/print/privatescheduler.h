#pragma once

// A print scheduler of the test's own (private-cups.sh) in a temporary folder, with this
// process's print clients pointed at it. Nothing of the machine's printers is used or changed.

#include "printtesttools.h"

#include "testutils.h"
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>

namespace vistrel::test {

class PrivateScheduler
{
public:
    PrivateScheduler()
    {
        m_folder.setAutoRemove(true);
        // Every print client of this process asks this scheduler only, with no setting of the
        // user's or the system's.
        qputenv("CUPS_SERVER", QFile::encodeName(m_folder.filePath(QStringLiteral("cups.sock"))));
        qputenv("CUPS_SERVERROOT", QFile::encodeName(m_folder.filePath(QStringLiteral("etc"))));
        // A test that runs the program in a home folder of its own sets HOME again afterwards.
        qputenv("HOME", QFile::encodeName(m_folder.path()));
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
    }
    ~PrivateScheduler()
    {
        signal(SIGCONT);
        stop();
    }
    PrivateScheduler(const PrivateScheduler &) = delete;
    PrivateScheduler &operator=(const PrivateScheduler &) = delete;

    // Starts it; false with the reason in error() when it cannot.
    bool start() { return script({QStringLiteral("start")}); }
    bool stop() { return script({QStringLiteral("stop")}); }

    // An enabled, accepting queue whose default paper is "Letter" or "A4"; its jobs land in
    // outFolder(name).
    bool addQueue(const QString &name, const QString &paper)
    {
        return script({QStringLiteral("queue"), name, paper});
    }

    // A queue with a real PDF printer driver's description, its default page size set to
    // pageSize ("Letter", "A4", "Legal"), left as the description has it ("driver"), or none
    // ("none").
    bool addDriverQueue(const QString &name, const QString &pageSize)
    {
        return script({QStringLiteral("driverqueue"), name, pageSize});
    }

    // Runs a print administration command (lpadmin, cupsdisable, ...) against this scheduler.
    bool admin(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        const bool ran = process.waitForFinished(30000) &&
                         process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        m_error = QString::fromLocal8Bit(process.readAllStandardError());
        return ran;
    }

    // A command given as one line of words: "stop", "start", "pause" (the scheduler stops
    // answering), "resume", or an administration program with its arguments
    // ("cupsdisable -r Out_of_paper Queue").
    bool run(const QString &commandLine)
    {
        if (commandLine == QLatin1String("stop"))
            return stop();
        if (commandLine == QLatin1String("start"))
            return start();
        if (commandLine == QLatin1String("pause") || commandLine == QLatin1String("resume"))
            return signal(commandLine == QLatin1String("pause") ? SIGSTOP : SIGCONT);
        QStringList words = commandLine.split(QLatin1Char(' '));
        const QString program = words.takeFirst();
        return admin(program, words);
    }

    QString outFolder(const QString &queue) const
    {
        return m_folder.filePath(QStringLiteral("out/") + queue);
    }

    QStringList documents(const QString &queue) const
    {
        return QDir(outFolder(queue))
            .entryList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Name);
    }

    // A document the queue produced that is not among before, once it is whole (a PDF that can
    // be read); an empty text until then.
    QString newDocument(const QString &queue, const QStringList &before) const
    {
        for (const QString &name : documents(queue))
            if (!before.contains(name)) {
                const QString path = QDir(outFolder(queue)).filePath(name);
                if (!runTool(QStringLiteral("pdfinfo"), {path}).isNull())
                    return path;
            }
        return QString();
    }

    // Jobs the scheduler has known for the queue, finished ones included.
    int jobCount(const QString &queue) const
    {
        const QString jobs =
            runTool(QStringLiteral("lpstat"),
                    {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), queue});
        return int(jobs.count(QLatin1Char('\n')));
    }

    QString error() const { return m_error; }

private:
    bool signal(int number)
    {
        QFile pidFile(m_folder.filePath(QStringLiteral("cupsd.pid")));
        if (!pidFile.open(QIODevice::ReadOnly))
            return false;
        const pid_t pid = pid_t(pidFile.readAll().trimmed().toLongLong());
        return pid > 0 && ::kill(pid, number) == 0;
    }

    bool script(QStringList arguments)
    {
        arguments.insert(1, m_folder.path());
        return admin(QStringLiteral("sh"),
                     QStringList{QStringLiteral(VISTREL_PRIVATE_CUPS_SCRIPT)} + arguments);
    }

    vistrel::test::TemporaryDir m_folder;
    QString m_error;
};

} // namespace vistrel::test
