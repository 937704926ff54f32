#include "app/settings.h"

#include "app/savefolder.h"
#include "app/userfolders.h"
#include "common/errortext.h"
#include "common/identity.h"
#include "common/nativename.h"
#include "common/openedfile.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace vistrel {
namespace {

const QString group = QStringLiteral("Settings");

// Nine values and a few of the link's properties take far less than a kilobyte. A file beyond
// this is no settings file of the program's: it is left alone, never read nor replaced.
constexpr off_t largestSettingsFile = 1 << 20;

QString readText(QSettings &store, const char *key)
{
    const QVariant value = store.value(QLatin1String(key));
    return value.isValid() ? value.toString() : QString();
}

bool hasKey(QSettings &store, const char *key)
{
    return store.contains(QLatin1String(key));
}

} // namespace

namespace {

using StoredValues = std::vector<std::pair<QString, QVariant>>;

// A folder whose name is valid UTF-8 is kept as text, as it always was. Any other is kept as its
// bytes, which the file spells "@ByteArray(...)" with the odd bytes escaped: as text, the bytes
// that are not UTF-8 would be lost and the next start would not find the folder.
QVariant folderValue(const QString &folder)
{
    const QByteArray bytes = toNative(folder);
    if (QString::fromUtf8(bytes) == folder)
        return folder;
    return bytes;
}

QString folderFromValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return fromNative(value.toByteArray());
    return value.toString();
}

// How a value is kept in the file, and so how it is read back.
enum class Kind { Folder, Interval, Twips, ButtonState };

// One key of the group: its name, its kind, and the member of StoredSettings it holds (the one
// pointer that fits the kind).
struct Key
{
    const char *name;
    Kind kind;
    QString StoredSettings::*text;
    int StoredSettings::*whole;
    double StoredSettings::*real;
};

// The nine keys, in the order they are written; reading and writing both go by this table.
const Key keys[] = {
    {"LastDir", Kind::Folder, &StoredSettings::lastDir, nullptr, nullptr},
    {"SlideInterval", Kind::Interval, nullptr, &StoredSettings::slideInterval, nullptr},
    {"MainLeft", Kind::Twips, nullptr, nullptr, &StoredSettings::mainLeft},
    {"MainTop", Kind::Twips, nullptr, nullptr, &StoredSettings::mainTop},
    {"MainWidth", Kind::Twips, nullptr, nullptr, &StoredSettings::mainWidth},
    {"MainHeight", Kind::Twips, nullptr, nullptr, &StoredSettings::mainHeight},
    {"Toolbar1", Kind::ButtonState, nullptr, &StoredSettings::toolbar1, nullptr},
    {"Toolbar2", Kind::ButtonState, nullptr, &StoredSettings::toolbar2, nullptr},
    {"Toolbar3", Kind::ButtonState, nullptr, &StoredSettings::toolbar3, nullptr},
};

QVariant valueToStore(const Key &key, const StoredSettings &v)
{
    switch (key.kind) {
    case Kind::Folder:
        return folderValue(v.*key.text);
    case Kind::Twips:
        return settingstext::fromNumber(v.*key.real);
    case Kind::Interval:
    case Kind::ButtonState:
        break;
    }
    return QString::number(v.*key.whole);
}

// Reads one key into s; a missing or bad value leaves the one s holds.
void readKey(QSettings &store, const Key &key, StoredSettings &s)
{
    using namespace settingstext;
    switch (key.kind) {
    case Kind::Folder:
        if (hasKey(store, key.name))
            s.*key.text = folderFromValue(store.value(QLatin1String(key.name)));
        return;
    case Kind::Interval:
        s.*key.whole = toSlideInterval(readText(store, key.name), s.*key.whole);
        return;
    case Kind::Twips:
        s.*key.real = toTwips(readText(store, key.name), s.*key.real);
        return;
    case Kind::ButtonState:
        s.*key.whole = toButtonState(readText(store, key.name), s.*key.whole);
        return;
    }
}

// The nine keys with the values they are written as.
StoredValues valuesToStore(const StoredSettings &v)
{
    StoredValues values;
    for (const Key &key : keys)
        values.emplace_back(QLatin1String(key.name), valueToStore(key, v));
    return values;
}

// The bytes of the regular file at path (its name as bytes). It is opened without waiting and
// checked once open, so that a pipe or a device in its place is never read, nor a file too large
// to be a settings file.
bool readRegularFile(const QByteArray &path, QByteArray *bytes)
{
    const OpenedFile file(path);
    bool ok = file.isRegular() && file.status().st_size <= largestSettingsFile;
    char buffer[16 * 1024];
    while (ok && bytes->size() <= largestSettingsFile) {
        const ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR)
            ok = false;
        else if (n > 0)
            bytes->append(buffer, qsizetype(n));
    }
    return ok && bytes->size() <= largestSettingsFile;
}

// The settings file as it is on disk, parsed by Qt from a private copy of its bytes held in
// memory. Qt keeps the parsed content of a settings file by its name, together with changes it
// could not write, and a QSettings on the file itself would answer from there.
class DiskCopy
{
public:
    explicit DiskCopy(const QByteArray &path)
    {
        QByteArray bytes;
        m_isFile = readRegularFile(path, &bytes);
        if (!m_isFile)
            return;
        m_fd = ::memfd_create("vistrel-settings", MFD_CLOEXEC);
        if (m_fd < 0 || ::write(m_fd, bytes.constData(), std::size_t(bytes.size())) != bytes.size())
            return;
        // Every copy gets a modification time of its own, so that a copy under a descriptor
        // number used before is never taken for the earlier one.
        static std::int64_t copies = 0;
        ++copies;
        const timespec times[2] = {{copies, 0}, {copies, 0}};
        if (::futimens(m_fd, times) == 0)
            m_settings = std::make_unique<QSettings>(QStringLiteral("/proc/self/fd/%1").arg(m_fd),
                                                     QSettings::IniFormat);
    }
    ~DiskCopy()
    {
        m_settings.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DiskCopy(const DiskCopy &) = delete;
    DiskCopy &operator=(const DiskCopy &) = delete;

    // Whether a regular file of a settings file's size was there and could be read.
    bool isFile() const { return m_isFile; }
    // The parsed copy; null when there was no file, or no copy could be made.
    QSettings *settings() const { return m_settings.get(); }

private:
    int m_fd = -1;
    bool m_isFile = false;
    std::unique_ptr<QSettings> m_settings;
};

StoredSettings readGroup(QSettings &store)
{
    StoredSettings s;
    store.beginGroup(group);
    for (const Key &key : keys)
        readKey(store, key, s);
    store.endGroup();
    return s;
}

// Whether the file on disk holds every value.
bool valuesOnDisk(const QByteArray &path, const StoredValues &values)
{
    const DiskCopy disk(path);
    QSettings *copy = disk.settings();
    if (!copy)
        return false;
    copy->beginGroup(group);
    bool same = true;
    for (const auto &[key, value] : values) {
        const QVariant onDisk = copy->value(key);
        same = same && onDisk.typeId() == value.typeId() && onDisk == value;
    }
    return same;
}

bool writeAll(QFile &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

QString userSettingsFile()
{
    return userFolder(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           identity::organisation() + QLatin1Char('/') + identity::productName() +
           QStringLiteral(".ini");
}

StoredSettings readSettings(const QString &path)
{
    const DiskCopy disk(toNative(path));
    if (disk.settings())
        return readGroup(*disk.settings());
    if (!disk.isFile())
        return {};
    // No copy could be made in memory: the file itself.
    QSettings store(path, QSettings::IniFormat);
    return readGroup(store);
}

QString writeSettings(const QString &path, const StoredSettings &values,
                      const std::function<bool()> &mayReplace)
{
    const QByteArray native = toNative(path);
    struct stat st;
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return QStringLiteral("it is not a regular file");
    if (exists && st.st_size > largestSettingsFile)
        return QStringLiteral("it is larger than any settings file (over 1 MB), so it was left as "
                              "it is");
    if (exists && ::access(native.constData(), W_OK) != 0)
        return errno == EROFS ? QStringLiteral("the disk is read-only")
                              : QStringLiteral("the file is read-only");
    QByteArray before;
    if (exists && !readRegularFile(native, &before))
        return QStringLiteral("it cannot be read");
    // The file itself is only replaced, at once, by a copy that holds every value: Qt may put a
    // file cut short by a full disk in place of a good one and report no error.
    const QByteArray target = exists ? resolvedFile(native) : native;
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? target.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const QByteArray name = target.mid(slash + 1);
    if (!makeFolders(folder))
        return writeFailure(folder, QStringLiteral("its folder cannot be made"));
    const HeldFolder held(folder);
    if (!held.isOpen())
        return writeFailure(folder, QStringLiteral("its folder cannot be opened"));
    const QByteArray finalName = held.alias() + name;
    QTemporaryFile copy(QString::fromLatin1(held.alias()) + QFile::decodeName(name) +
                        QStringLiteral(".XXXXXX"));
    if (!copy.open())
        return writeFailure(folder, QStringLiteral("its folder cannot be written"));
    const QString copyName = copy.fileName(); // named now, while it is open
    const QByteArray nativeCopy = QFile::encodeName(copyName);
    if (!writeAll(copy, before))
        return writeFailure(folder, copy.errorString());
    copy.close();
    // The file keeps its permissions; a new one gets those any new file gets.
    mode_t mode = 0;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode = 0666 & ~currentUmask();
    }
    ::chmod(nativeCopy.constData(), mode);
    const StoredValues stored = valuesToStore(values);
    {
        // A store of its own for every save, on a file name never used before: QSettings keeps
        // its status for the object's life, and the parse error of a damaged file's first
        // reading would hide every later failure. Its status is not trusted either: what counts
        // is what the disk holds.
        QSettings store(copyName, QSettings::IniFormat);
        store.beginGroup(group);
        for (const auto &[key, value] : stored)
            store.setValue(key, value);
        store.endGroup();
    }
    if (!valuesOnDisk(nativeCopy, stored))
        return writeFailure(folder, QStringLiteral("the values could not be written"));
    if (mayReplace && !mayReplace())
        return QStringLiteral("the save was given up"); // the copy goes with `copy`
    if (::rename(nativeCopy.constData(), finalName.constData()) != 0)
        return writeFailure(folder, errorText(errno));
    if (!valuesOnDisk(finalName, stored))
        return QStringLiteral("the file does not hold the values after writing");
    return {};
}

} // namespace vistrel
