#pragma once

#include <QString>

// The text after the first occurrence of `startDelimiter` and before the next `endDelimiter`, both found
// without regard to the case of ASCII letters; empty when either is missing. An empty start delimiter
// starts at the beginning, an empty end delimiter runs to the end. When the end delimiter is a quote, an
// escaped quote (backslash, quote) does not end the value.
QString ExtractBetween(const QString& text, const QString& startDelimiter, const QString& endDelimiter);

// Decodes the escapes of a JSON string. Unknown escapes and a lone trailing backslash are dropped.
// Throws EConvertError when the characters after \u are not hexadecimal digits.
QString UnescapeJson(const QString& text);
