#include "print/picturelink.h"

#include <utility>

namespace vistrel {

PictureLink::PictureLink(PictureSource source, QObject *parent)
    : QObject(parent), m_source(std::move(source))
{}

const PrintablePicture &PictureLink::take()
{
    m_shown = m_source ? m_source(m_shown) : PrintablePicture();
    if (!m_shown.fullRead)
        return m_shown;
    std::function<FullPicture()> read = std::exchange(m_shown.fullRead, {});
    const quint64 serial = m_shown.serial;
    const auto apply = [this](const FullPicture &full) {
        m_shown.image = full.image;
        m_shown.note = full.note;
    };
    std::optional<FullPicture> now =
        m_reads.run<FullPicture>(std::move(read), [this, serial, apply](FullPicture late) {
            if (m_shown.serial != serial)
                return; // another picture was taken meanwhile
            m_reading = false;
            apply(late);
            emit fullPictureRead();
        });
    m_reading = !now;
    if (now)
        apply(*now);
    return m_shown;
}

} // namespace vistrel
