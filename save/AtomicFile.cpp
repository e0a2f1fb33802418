#include "AtomicFile.h"

#include "support/Exception.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

AtomicFile::AtomicFile(const QString& fileName) : m_fileName(fileName), m_target(QFile::encodeName(fileName))
{
    if (fileName.isEmpty() || m_target.contains('\0'))
        fail(QStringLiteral("Cannot create file"), EINVAL);
    const QFileInfo target(fileName);
    const QByteArray folder = QFile::encodeName(target.path());
    const QByteArray name = QFile::encodeName(target.fileName());
    for (int attempt = 0; attempt < 16; ++attempt) {
        // A hidden name, so that file managers and the file-number scan do not pick up the half-written file.
        m_temporary = folder + "/." + name + '.'
            + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            return;
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    m_temporary.clear();
    fail(QStringLiteral("Cannot create file"), error);
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

void AtomicFile::write(const void* data, std::size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(QStringLiteral("Cannot write file"), n < 0 ? errno : ENOSPC);
        bytes += n;
        size -= std::size_t(n);
    }
}

void AtomicFile::commit()
{
    const int fd = std::exchange(m_fd, -1);
    // close() reports late write errors of some file systems (NFS, full quotas).
    if (::close(fd) != 0)
        fail(QStringLiteral("Cannot write file"), errno);
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        fail(QStringLiteral("Cannot create file"), errno);
    m_temporary.clear();
}

void AtomicFile::fail(const QString& what, int error)
{
    throw EFileError(
        QStringLiteral("%1 \"%2\". %3").arg(what, m_fileName, QString::fromLocal8Bit(std::strerror(error))));
}
