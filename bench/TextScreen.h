#pragma once

#include <QImage>
#include <QStringList>

// A 1920x1080 screen of text as people capture it for recognition: a window's menu and tool bar, a side
// list, a paragraph, a table and a status bar, in the desktop's usual sizes. Deterministic.
struct TextScreen
{
    QImage image;
    // Every line of text drawn, top to bottom, left to right: what a perfect recognition gives.
    QStringList lines;
};

TextScreen textScreen();

// Word accuracy of a recognised text against the drawn one: the words found exactly as drawn, over the
// larger of the number drawn and the number found.
double wordAccuracy(const QStringList& drawn, const QString& recognised);
