#include "QtPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>

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
    if (!m_printer)
        return {};
    return { m_printer->logicalDpiX(), m_printer->logicalDpiY() };
}

bool QtPrinter::draw(const QImage& image, const QRect& target)
{
    if (!m_painter || !m_painter->isActive())
        return false;
    // Whole-number enlargements of screen pixels stay crisp without smoothing.
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter->drawImage(target, image);
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
