#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <sys/mount.h>

// A small file system of its own: a tmpfs, mounted for the test and gone afterwards. Needs root (a test
// that cannot mount says so and skips or falls back).
class SmallMount
{
public:
    SmallMount(const QString& path, const char* options) : m_path(QFile::encodeName(path))
    {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallMount()
    {
        if (m_mounted)
            ::umount(m_path.constData());
    }
    SmallMount(const SmallMount&) = delete;
    SmallMount& operator=(const SmallMount&) = delete;
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};
