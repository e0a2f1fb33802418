#pragma once

#include <QString>

// The product name as the interface's source text; every window title starts from it.
inline const QString ProductCaption = QStringLiteral("루메트라");

// The source text in the current language. Texts the table does not know come back unchanged, with the
// two characters backslash-n turned into a carriage return.
QString TranslateText(const QString& source, const QString& language = {});
