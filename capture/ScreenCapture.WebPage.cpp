// The whole-page capture of the web page source.

#include "ScreenCapture.h"

#include <algorithm>

QSize ScreenCapture::WholePageSize(const WebPageSizes& sizes, int edge, int scrollBar)
{
    int width = std::max(sizes.body.width(), 0) + edge + scrollBar + 6;
    int height = std::max(sizes.body.height(), 0);
    auto raise = [&](QSize size) {
        width = std::max(width, size.width());
        height = std::max(height, size.height());
    };
    raise(sizes.body);
    raise(sizes.documentElement);
    for (const QSize& frame : sizes.frames)
        raise(frame);
    if (width < 100)
        width = 1024;
    if (height < 100)
        height = 768;
    return { width, height };
}

bool ScreenCapture::Capture(QImage& bitmap, WebBrowser& browser, QString* error)
{
    bitmap = QImage();
    WebPageSizes sizes;
    if (!browser.pageSizes(sizes, error))
        return false;
    const QSize drawn = WholePageSize(sizes, EdgeWidth, sizes.scrollBar);
    // The room left for a scroll bar is cut away again on the right.
    const int width = std::max(drawn.width() - (EdgeWidth + sizes.scrollBar), 1);
    if (drawn.width() > MaxPageWidth || qint64(width) * drawn.height() > MaxPagePixels) {
        *error = QStringLiteral(
            "The page is %1 x %2 pixels, too large to capture: a picture of a page may be at "
            "most %3 pixels wide and hold at most %4 pixels.")
                     .arg(width)
                     .arg(drawn.height())
                     .arg(MaxPageWidth)
                     .arg(MaxPagePixels);
        return false;
    }
    QImage picture(width, drawn.height(), QImage::Format_RGB32);
    if (picture.isNull()) {
        *error = QStringLiteral("There is not enough memory for a picture of %1 x %2 pixels.")
                     .arg(width)
                     .arg(drawn.height());
        return false;
    }
    if (!browser.renderPage(picture, drawn.width(), error))
        return false;
    bitmap = std::move(picture);
    return true;
}
