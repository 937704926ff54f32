#pragma once

// Helpers for the printing tests: a PDF file in place of a printer, and the poppler tools that
// read the produced file back.

#include "print/printdestination.h"

#include "testutils.h"
#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vistrel::test {

// Keeps the handed-over document as a file; a file that cannot be written is a failed job.
class PdfFileDestination final : public PrintDestination
{
public:
    PdfFileDestination(QString file, QPageLayout paper)
        : m_file(std::move(file)), m_paper(std::move(paper))
    {}
    QString name() const override { return m_file; }
    QPageLayout paper() const override { return m_paper; }
    HandOverOutcome handOver(const QString &pdfPath, const QString &) override
    {
        QFile::remove(m_file);
        QFile document(pdfPath);
        if (!document.copy(m_file))
            return {QStringLiteral("could not write %1 (%2)").arg(m_file, document.errorString()),
                    QString()};
        return {};
    }

private:
    QString m_file;
    QPageLayout m_paper;
};

inline DestinationFinder pdfFile(const QString &file, QPageSize::PageSizeId size,
                                 QPageLayout::Orientation orientation = QPageLayout::Portrait)
{
    return [=] {
        DestinationLookup found;
        found.destination = std::make_unique<PdfFileDestination>(
            file, QPageLayout(QPageSize(size), orientation, QMarginsF()));
        return found;
    };
}

// The same label and picture at every drawing.
inline PictureSource fixedPicture(const QString &label, const QImage &picture)
{
    return [=](const PrintablePicture &) {
        return PrintablePicture{label, picture, QString(), 1, {}};
    };
}

// Standard output of a tool, or a null string when it could not run or failed.
inline QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The first page rendered at the given resolution (pixels per inch).
inline QImage renderFirstPage(const QString &pdf, int dpi)
{
    const vistrel::test::TemporaryDir scratch;
    const QString base = scratch.filePath(QStringLiteral("page"));
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"),
             QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), pdf, base});
    return QImage(base + QStringLiteral(".png"));
}

inline bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

inline bool isWhite(QRgb c)
{
    return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240;
}

inline QImage solidPicture(QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

} // namespace vistrel::test
