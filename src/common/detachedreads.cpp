#include "common/detachedreads.h"

namespace vistrel {

DetachedReads::DetachedReads(QObject *owner) : m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->owner = owner;
}

DetachedReads::~DetachedReads()
{
    // Answers still to come are dropped; calls already posted go with the owner's events.
    const std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    m_mailbox->owner = nullptr;
}

} // namespace vistrel
