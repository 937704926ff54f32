#pragma once

// The bad-input corpus for the hardening tests: made by make-corpus.sh into a temporary folder,
// read back from its manifest, and given back to the temporary folder's clean-up afterwards.

#include "testutils.h"
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>

namespace vistrel::test {

class Corpus
{
public:
    struct Entry
    {
        QByteArray name; // the bytes on disk
        bool listed = false;
        QByteArray
            kind; // good, shown (by the program, not by Qt alone), bad, cut, huge, either, none
    };

    ~Corpus()
    {
        // The locked folder would stop the temporary folder's removal.
        if (!m_locked.isEmpty())
            ::chmod(QFile::encodeName(m_locked).constData(), 0700);
        // Names that are not UTF-8 defeat QDir's removal; remove by bytes, links not followed.
        if (m_dir.isValid()) {
            ::nftw(
                QFile::encodeName(m_dir.path()).constData(),
                [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); },
                16, FTW_DEPTH | FTW_PHYS);
        }
    }

    // Runs the script; false with error() set when it fails.
    bool make(const QString &script)
    {
        if (!m_dir.isValid())
            return fail(QStringLiteral("no temporary folder"));
        // Reachable by the unprivileged helper of the permission cases.
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        QProcess run;
        run.start(QStringLiteral("bash"), {script, m_dir.path()});
        if (!run.waitForFinished(60000) || run.exitCode() != 0)
            return fail(QString::fromLocal8Bit(run.readAllStandardError()));
        m_locked = m_dir.filePath(QStringLiteral("locked"));
        QFile manifest(m_dir.filePath(QStringLiteral("manifest.tsv")));
        if (!manifest.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("no manifest"));
        while (!manifest.atEnd()) {
            const QList<QByteArray> fields = manifest.readLine().trimmed().split('\t');
            if (fields.size() != 3)
                return fail(QStringLiteral("bad manifest line"));
            m_entries.append({QByteArray::fromHex(fields[0]), fields[1] == "1", fields[2]});
        }
        QFile deep(m_dir.filePath(QStringLiteral("deep-path.txt")));
        if (!deep.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("no deep path"));
        m_deep = QFile::decodeName(deep.readAll());
        return true;
    }

    QString error() const { return m_error; }
    QString root() const { return m_dir.path(); }
    QString pictures() const { return m_dir.filePath(QStringLiteral("pictures")); }
    QString locked() const { return m_locked; }
    QString deep() const { return m_deep; }
    const QList<Entry> &entries() const { return m_entries; }
    QList<QByteArray> listedNames() const
    {
        QList<QByteArray> names;
        for (const Entry &e : m_entries) {
            if (e.listed)
                names.append(e.name);
        }
        return names;
    }

private:
    bool fail(const QString &why)
    {
        m_error = why;
        return false;
    }

    vistrel::test::TemporaryDir m_dir;
    QString m_locked;
    QString m_deep;
    QString m_error;
    QList<Entry> m_entries;
};

} // namespace vistrel::test
