#pragma once

#include <QByteArray>
#include <QPageSize>

#include <optional>

namespace vistrel {

// A sheet named by the print service, a printer description or a user's option, with the name
// the print service takes for it in a job ("na_letter_8.5x11in").
struct NamedPaper
{
    QPageSize size;
    QByteArray pwg;
};

// The sheet a paper name stands for: the print service's own names ("iso_a4_210x297mm"), the
// older IPP names ("na-letter", "iso-a4"), printer descriptions' names ("Letter", "A4",
// "Legal", "Custom.8x10in", "w612h792"), in any letter case, with a borderless or small-margin
// variant ("Letter.Fullbleed", "A4Small") taken as its plain sheet. A list such as
// "A4,tray-1" gives its first known sheet. Nothing for an unknown or empty name.
std::optional<NamedPaper> paperNamed(const QByteArray &name);

// A sheet of the given size (hundredths of millimetres) under the service's name for it, the
// toolkit's standard sheet when it is one.
NamedPaper paperOfSize(int width, int length, const char *name);

// The name the print service takes for a sheet of this size.
QByteArray pwgNameOf(const QPageSize &size);

// The default paper of a printer description: its "*DefaultPageSize" entry, when it has one.
QByteArray defaultPageSizeOfPpd(const QByteArray &ppdText);

} // namespace vistrel
