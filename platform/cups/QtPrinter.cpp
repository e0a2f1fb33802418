#include "QtPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <cups/cups.h>
#include <memory>

namespace {

struct DestDeleter
{
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
struct InfoDeleter
{
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};

// The queue's default resolution in dots per inch; empty when the print system does not say.
QSize defaultResolution(const QString& printer)
{
    const std::unique_ptr<cups_dest_t, DestDeleter> dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.toLocal8Bit().constData(), nullptr));
    if (!dest)
        return {};
    const std::unique_ptr<cups_dinfo_t, InfoDeleter> info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
    if (!info)
        return {};
    ipp_attribute_t* attribute
        = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest.get(), info.get(), "printer-resolution");
    if (!attribute || ippGetValueTag(attribute) != IPP_TAG_RESOLUTION)
        return {};
    int y = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    int x = ippGetResolution(attribute, 0, &y, &units);
    if (units == IPP_RES_PER_CM) {
        x = x * 254 / 100;
        y = y * 254 / 100;
    }
    return x > 0 && y > 0 ? QSize(x, y) : QSize();
}

} // namespace

QtPrinter::QtPrinter() = default;

QtPrinter::~QtPrinter()
{
    // A document left open would otherwise never reach the printer.
    if (m_painter)
        end(nullptr);
}

bool QtPrinter::begin(const QString& documentName, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (m_painter)
        return fail(QStringLiteral("A print job is already being prepared."));
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return fail(QStringLiteral("No default printer is set up."));
    m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    m_printer->setDocName(documentName);
    // Qt's own margins would move the picture inwards; the corner is the printable area's.
    const QPageLayout layout = m_printer->pageLayout();
    m_printer->setPageMargins(layout.minimumMargins(), layout.units());
    m_resolution = defaultResolution(info.printerName());
    if (m_resolution.isValid())
        m_printer->setResolution(m_resolution.width());
    else
        m_resolution = QSize(m_printer->logicalDpiX(), m_printer->logicalDpiY());
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_printer.get())) {
        m_painter.reset();
        m_printer.reset();
        return fail(
            QStringLiteral("The printer \"%1\" did not accept the document.").arg(info.printerName()));
    }
    return true;
}

QSize QtPrinter::resolution() const
{
    return m_printer ? m_resolution : QSize();
}

bool QtPrinter::draw(const QImage& image, const QRect& target)
{
    if (!m_painter || !m_painter->isActive())
        return false;
    // Whole-number enlargements of screen pixels stay crisp without smoothing.
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Qt's coordinates have one resolution for both directions; the printer's may differ down the page.
    const double down = double(m_printer->logicalDpiY()) / m_resolution.height();
    const double across = double(m_printer->logicalDpiX()) / m_resolution.width();
    m_painter->drawImage(
        QRectF(target.x() * across, target.y() * down, target.width() * across, target.height() * down),
        image);
    return m_printer->printerState() != QPrinter::Error;
}

bool QtPrinter::end(QString* error)
{
    if (!m_painter) {
        if (error)
            *error = QStringLiteral("No print job is open.");
        return false;
    }
    const bool ended = m_painter->end();
    const bool failed = !ended || m_printer->printerState() == QPrinter::Error;
    const QString name = m_printer->printerName();
    m_painter.reset();
    m_printer.reset();
    if (failed && error)
        *error = QStringLiteral("The printer \"%1\" did not accept the print job.").arg(name);
    return !failed;
}
