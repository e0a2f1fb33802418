#pragma once

#include <QString>
#include <cstddef>

// Writes a file under a temporary name in the target's folder and renames it into place on commit, so
// that a write that fails halfway never leaves a truncated file that looks like a good image. Every
// failure throws EFileError naming the target file with the system's reason.
class AtomicFile
{
public:
    explicit AtomicFile(const QString& fileName);
    // Removes the temporary file unless committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(const void* data, std::size_t size);
    // Closes the file and gives it its final name, replacing an existing file.
    void commit();

private:
    [[noreturn]] void fail(const QString& what, int error);

    QString m_fileName;
    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
};
