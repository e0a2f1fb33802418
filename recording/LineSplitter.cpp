#include "LineSplitter.h"

#include <utility>

QList<LineSplitter::Line> LineSplitter::feed(QStringView chunk)
{
    QList<Line> lines;
    for (const QChar c : chunk) {
        if (c == QChar(u'\0'))
            continue;
        if (c == u'\r' || c == u'\n') {
            const bool secondHalf = c == u'\n' && m_afterCR;
            m_afterCR = c == u'\r';
            if (secondHalf)
                continue;
            lines.append({ m_pending, OutputType::EntireLine });
            m_pending.clear();
            continue;
        }
        m_afterCR = false;
        m_pending.append(c);
    }
    if (!m_pending.isEmpty())
        lines.append({ m_pending, OutputType::BeginningOfLine });
    return lines;
}

std::optional<QString> LineSplitter::finish()
{
    m_afterCR = false;
    if (m_pending.isEmpty())
        return std::nullopt;
    return std::exchange(m_pending, QString());
}
