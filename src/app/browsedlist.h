#pragma once

#include "viewer/shownlist.h"

namespace vistrel {

class FolderBrowser;

// The folder browser's picture list as the display shows it, and what is said and done about its
// files: the messages for a picture that cannot be shown, the question whether to delete a file
// that is no readable picture, and the Delete command.
class BrowsedList final : public ShownList
{
public:
    explicit BrowsedList(FolderBrowser *browser) : m_browser(browser) {}

    int index() const override;
    void setIndex(int index) override;
    int count() const override;
    QString path(int index) const override;
    QByteArray nativePath(int index) const override;
    void setCurslide(int index) override;
    void cannotShow(const LoadedPicture &picture, const QByteArray &native,
                    const QString &path) override;

    // Asks, deletes the current picture, re-reads the folder and selects the same place.
    void deletepicture();

private:
    void askToDeleteUnreadable(const QByteArray &native, const QString &path);

    FolderBrowser *m_browser;
};

} // namespace vistrel
