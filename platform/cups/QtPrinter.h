#pragma once

#include "platform/Printer.h"

#include <QPainter>
#include <memory>

class QPrinter;

// QPrinter on the print system's default printer (CUPS). Qt draws into a PDF at a resolution of its own;
// the printer's resolution is the queue's default as CUPS reports it, and Qt's coordinates are set to it.
class QtPrinter final : public Printer
{
public:
    QtPrinter();
    ~QtPrinter() override;

    bool begin(const QString& documentName, QString* error) override;
    QSize resolution() const override;
    bool draw(const QImage& image, const QRect& target) override;
    bool end(QString* error) override;

private:
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
    QSize m_resolution;
};
