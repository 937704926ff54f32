#pragma once

#include "slideshow/slideshow.h"

#include <functional>

namespace vistrel {

class BrowsedList;
class FolderBrowser;

// The slide show steps through the picture list; selecting an entry shows it at once, also when
// it is the entry already selected.
class ListSlides final : public SlideTarget
{
public:
    ListSlides(FolderBrowser *browser, const BrowsedList *shown, std::function<void()> showAgain)
        : m_browser(browser), m_shown(shown), m_showAgain(std::move(showAgain))
    {}
    int count() const override;
    void select(int index) override;
    int curslide() const override;
    void setCurslide(int index) override;
    QString key(int index) const override;

private:
    FolderBrowser *m_browser;
    const BrowsedList *m_shown;
    std::function<void()> m_showAgain;
};

} // namespace vistrel
