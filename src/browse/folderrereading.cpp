// The monitor's re-readings of its folder, a slice at a time, which catch what no notice told.

#include "browse/foldermonitor.h"

#include "browse/folderpass.h"

#include <memory>
#include <utility>

namespace vistrel {

void FolderMonitor::startPass(bool detailed)
{
    m_passWanted = false;
    m_passDisturbed = false;
    m_passDetailed = detailed;
    m_passSum = 0;
    m_passCount = 0;
    m_pass = std::make_shared<FolderPass>();
    m_pass->folder = m_folder;
    if (detailed)
        m_pass->known = m_complete;
    ++m_passNumber;
}

// Reads on for one slice. A plain re-reading only adds up the names' hashes: when they and the
// number of pictures match what is known, nothing changed unseen. Otherwise a detailed one
// follows, which marks the pictures known as seen again and takes in new ones as pending, to be
// counted once they keep still. The slice is read off the caller's thread; what it found is taken
// in when it answers.
void FolderMonitor::continuePass()
{
    const bool detailed = m_passDetailed;
    const int limit = m_sliceEntries;
    QSet<QByteArray> pending;
    if (detailed) {
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            pending.insert(it.key());
    }
    look<PassSlice>([stream = m_pass, detailed, limit,
                     pending] { return readPassSlice(*stream, detailed, limit, pending); },
                    [this, stream = m_pass](PassSlice &slice, qint64 now) {
                        if (stream == m_pass)
                            takeSlice(slice, now);
                    });
}

void FolderMonitor::takeSlice(PassSlice &slice, qint64 now)
{
    m_passCostNs += slice.costNs;
    if (slice.failed) {
        m_pass.reset();
        m_lastPassEnd = now;
        m_lastPassCostNs = m_passCostNs;
        return;
    }
    m_passSum += slice.sum;
    m_passCount += slice.count;
    for (const quint64 key : slice.seen) {
        const auto known = m_complete.find(key);
        if (known != m_complete.end())
            *known = m_passNumber;
    }
    for (auto &[name, stamp] : slice.found) {
        if (m_pending.contains(name) || m_complete.contains(nameKey(name)))
            continue;
        Pending pending;
        pending.stamp = stamp;
        pending.stamped = true;
        pending.stableSince = now;
        m_pending.insert(name, pending);
    }
    if (slice.ended)
        finishPass(now);
    if (!m_pass)
        m_lastPassCostNs = m_passCostNs;
}

void FolderMonitor::finishPass(qint64 now)
{
    m_pass.reset();
    m_lastPassEnd = now;
    if (!m_passDetailed) {
        quint64 sum = m_completeSum;
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            sum += nameKey(it.key());
        if (sum == m_passSum && m_passCount == m_complete.size() + m_pending.size())
            return;
        // Names that came or went meanwhile, as notices told, explain a difference: the notices
        // work, and the next re-reading checks again.
        if (m_passDisturbed)
            return;
        // Something changed that no notice told: read again in detail, and until then the count
        // is in doubt.
        m_passForChange = true;
        startPass(true);
        return;
    }
    // What this pass did not see has gone (a name that arrived meanwhile was marked on arrival).
    const quint32 pass = m_passNumber;
    m_complete.removeIf([this, pass](const QHash<quint64, quint32>::iterator &it) {
        if (it.value() == pass)
            return false;
        m_completeSum -= it.key();
        return true;
    });
}

} // namespace vistrel
