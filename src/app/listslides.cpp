#include "app/listslides.h"

#include "app/browsedlist.h"
#include "browse/folderbrowser.h"
#include "browse/picturelistmodel.h"

namespace vistrel {

int ListSlides::count() const
{
    return m_shown->count();
}

void ListSlides::select(int index)
{
    if (!m_browser->list()->setListIndex(index))
        m_showAgain();
}

int ListSlides::curslide() const
{
    return m_browser->curslide();
}

void ListSlides::setCurslide(int index)
{
    m_browser->setCurslide(index);
}

QString ListSlides::key(int index) const
{
    return m_shown->path(index);
}

} // namespace vistrel
