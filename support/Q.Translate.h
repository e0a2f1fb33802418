#pragma once

#include <QString>

// The product name as the interface's source text; every window title starts from it.
inline const QString ProductCaption = QStringLiteral("루메트라");

// The source text in the current language. Texts the table does not know come back unchanged, with the
// two characters backslash-n turned into a carriage return.
QString TranslateText(const QString& source, const QString& language = {});

class QObject;

// Translates a window or component and everything it owns into `language`, which becomes the current
// language; with an empty language, into the current one.
void TranslateComponent(QObject* root, const QString& language = {});
