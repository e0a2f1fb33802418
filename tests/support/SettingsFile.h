#pragma once

#include <QByteArray>
#include <QString>

// Writes a file as another program would. Each write gets a modification time of its own, so that the
// settings store, which re-reads a file only when its size or time changed, sees every prepared version
// even when two of them are written within one tick of the file-system clock.
void writeFileAnew(const QString& path, const QByteArray& data);
QByteArray readWholeFile(const QString& path);
