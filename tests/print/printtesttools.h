#pragma once

// Helpers for the printing tests: a PDF printer in place of the real one, and the poppler tools
// that read the produced file back.

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vistrel::test {

inline std::unique_ptr<QPrinter> pdfPrinter(const QString &file, QPageSize::PageSizeId size,
                                            QPageLayout::Orientation orientation)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    printer->setPageSize(QPageSize(size));
    printer->setPageOrientation(orientation);
    return printer;
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
    const QTemporaryDir scratch;
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
