#include "print/picturelink.h"

#include <utility>

namespace vistrel {

PictureLink::PictureLink(PictureSource source, QObject *parent)
    : QObject(parent), m_source(std::move(source))
{
    m_notice.pending = [this](const QString &) { m_silent = false; };
    m_notice.silent = [this](const QString &) {
        m_silent = true;
        emit silent();
    };
}

const PrintablePicture &PictureLink::take()
{
    const quint64 before = m_shown.serial;
    m_shown = m_source ? m_source(m_shown) : PrintablePicture();
    if (!m_shown.fullRead) {
        if (m_shown.serial != before)
            m_line.drop(); // the read of a picture no longer shown
        return m_shown;
    }
    std::function<FullPicture()> read = std::exchange(m_shown.fullRead, {});
    const auto apply = [this](const FullPicture &full) {
        m_shown.image = full.image;
        m_shown.note = full.note;
    };
    // A picture taken meanwhile drops the read of the one before.
    std::optional<FullPicture> now = m_line.run<FullPicture>(
        m_shown.label.startsWith(QLatin1Char('/')) ? Request::fileAt(m_shown.label) : Request(),
        std::move(read), [this, apply](FullPicture late) {
            apply(late);
            emit fullPictureRead();
        });
    if (now)
        apply(*now);
    return m_shown;
}

QString PictureLink::readingNotice() const
{
    return m_silent ? QStringLiteral("The picture %1 does not answer: the page prints once it is "
                                     "read...")
                          .arg(m_shown.label)
                    : QStringLiteral("Reading the picture: the page prints once it is read...");
}

} // namespace vistrel
