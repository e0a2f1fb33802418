#include "Q.Strings.h"

#include "Exception.h"

namespace {

// Only a to z change, so the copy keeps the length and every position of the original.
QString upperAscii(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return result;
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

} // namespace

QString ExtractBetween(const QString& text, const QString& startDelimiter, const QString& endDelimiter)
{
    QString upper = upperAscii(text);
    const QString start = upperAscii(startDelimiter);
    const QString end = upperAscii(endDelimiter);

    if (!end.isEmpty() && QStringLiteral("\"'").contains(end)) {
        // Hide escaped delimiters from the search: the backslash and the delimiter become backslashes,
        // which keeps every position, also for the two-character delimiter.
        const QString escaped = QLatin1Char('\\') + end;
        const QString hidden(escaped.size(), QLatin1Char('\\'));
        qsizetype at = 0;
        while ((at = upper.indexOf(escaped, at)) >= 0) {
            upper.replace(at, escaped.size(), hidden);
            at += escaped.size();
        }
    }

    qsizetype from = 0;
    if (!start.isEmpty()) {
        const qsizetype found = upper.indexOf(start);
        if (found < 0)
            return {};
        from = found + start.size();
    }
    qsizetype to = text.size();
    if (!end.isEmpty()) {
        to = upper.indexOf(end, from);
        if (to < 0)
            return {};
    }
    return text.mid(from, to - from);
}

QString UnescapeJson(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\') {
            result.append(c);
            continue;
        }
        if (++i >= text.size())
            break; // a lone backslash at the end is dropped
        switch (text[i].unicode()) {
        case u'"':
        case u'\'':
        case u'/':
        case u'\\':
            result.append(text[i]);
            break;
        case u'b':
            result.append(QChar(0x08));
            break;
        case u'f':
            result.append(QChar(0x0C));
            break;
        case u'n':
            result.append(QChar(0x0A));
            break;
        case u'r':
            result.append(QChar(0x0D));
            break;
        case u't':
            result.append(QChar(0x09));
            break;
        case u'u': {
            // Up to four digits; fewer when the text ends sooner.
            const qsizetype digits = std::min<qsizetype>(4, text.size() - i - 1);
            if (digits == 0)
                throw EConvertError(QStringLiteral("'' is not a valid hexadecimal number"));
            char16_t code = 0;
            for (qsizetype k = 1; k <= digits; ++k) {
                const int value = hexValue(text[i + k]);
                if (value < 0)
                    throw EConvertError(QStringLiteral("'%1' is not a valid hexadecimal number")
                                            .arg(text.mid(i + 1, digits)));
                code = char16_t(code * 16 + value);
            }
            result.append(QChar(code));
            i += digits;
            break;
        }
        default:
            break; // any other escape is dropped with its second character
        }
    }
    return result;
}
