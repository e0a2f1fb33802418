#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A line of output complete with its end, or the beginning of one still being written.
enum class OutputType { EntireLine, BeginningOfLine };

// Cuts a console program's output into lines. NUL is dropped; CR, LF and CR LF each end a line, also when
// the CR ends one read and the LF starts the next. The text after the last line end of a read is reported
// as the beginning of a line, again and longer with each read, until its end arrives.
class LineSplitter
{
public:
    struct Line
    {
        QString text;
        OutputType type;
        bool operator==(const Line&) const = default;
    };

    // The lines one read completes, in order, then the pending beginning of a line, if any.
    QList<Line> feed(QStringView chunk);
    // The program has ended: its last text without a line end, once more as a complete line.
    std::optional<QString> finish();

private:
    QString m_pending;
    bool m_afterCR = false;
};
