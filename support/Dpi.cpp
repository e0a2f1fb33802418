#include "Dpi.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

int scaled(const QWidget* widget, int designPixels)
{
    const QScreen* current = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = current ? current->logicalDotsPerInch() : 96.0;
    return int(std::nearbyint(designPixels * dpi / 96.0));
}
