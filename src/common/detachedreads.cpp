#include "common/detachedreads.h"

#include <QStringList>

namespace vistrel {

namespace {

struct UnansweredPlaces
{
    std::mutex mutex;
    QStringList places; // one entry per read still running; few at any time
};

UnansweredPlaces &unanswered()
{
    static UnansweredPlaces places;
    return places;
}

} // namespace

bool DetachedReads::isUnanswered(const QString &place)
{
    if (place.isEmpty())
        return false;
    UnansweredPlaces &u = unanswered();
    const std::lock_guard<std::mutex> lock(u.mutex);
    for (const QString &stuck : u.places) {
        if (place.startsWith(stuck) &&
            (place.size() == stuck.size() || stuck.endsWith(QLatin1Char('/')) ||
             place.at(stuck.size()) == QLatin1Char('/')))
            return true;
    }
    return false;
}

void DetachedReads::markUnanswered(const QString &place)
{
    UnansweredPlaces &u = unanswered();
    const std::lock_guard<std::mutex> lock(u.mutex);
    u.places.append(place);
}

void DetachedReads::markAnswered(const QString &place)
{
    UnansweredPlaces &u = unanswered();
    const std::lock_guard<std::mutex> lock(u.mutex);
    u.places.removeOne(place);
}

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
