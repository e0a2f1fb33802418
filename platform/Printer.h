#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

// One document at a time on the default printer. Coordinates are printer dots from the top-left corner of
// the printable area.
class Printer
{
public:
    virtual ~Printer() = default;
    // Starts a document; false, with `error` filled in, when there is no default printer or it refuses.
    virtual bool begin(const QString& documentName, QString* error) = 0;
    // Dots per inch across and down, valid between begin() and end().
    virtual QSize resolution() const = 0;
    // Stretches the image into the target rectangle; false when the drawing failed.
    virtual bool draw(const QImage& image, const QRect& target) = 0;
    // Ends the document started by begin(); false, with `error` filled in, when the job was not accepted.
    virtual bool end(QString* error) = 0;
};
