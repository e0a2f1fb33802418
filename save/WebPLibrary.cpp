#include "WebPLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

QStringList candidates()
{
    const QString chosen = qEnvironmentVariable("LUMETRA_WEBP_LIBRARY");
    if (!chosen.isEmpty())
        return { chosen };
    // The running executable's folder, as the program ships its own copy beside it.
    const QString folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
    return { folder + QLatin1Char('/') + WebPLibrary::FileName, folder + QStringLiteral("/libwebp.so"),
        WebPLibrary::FileName };
}

} // namespace

WebPLibrary::~WebPLibrary()
{
    if (m_handle)
        ::dlclose(m_handle);
}

bool WebPLibrary::load()
{
    if (m_handle)
        return true;
    for (const QString& candidate : candidates()) {
        // A bare name goes through the system's library search; a path must name an existing file.
        const bool bare = !candidate.contains(QLatin1Char('/'));
        if (!bare && !QFileInfo(candidate).isFile())
            continue;
        m_handle = ::dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL);
        if (m_handle) {
            m_path = candidate;
            return true;
        }
    }
    return false;
}

void* WebPLibrary::function(const char* name) const
{
    return m_handle ? ::dlsym(m_handle, name) : nullptr;
}

bool WebPLibrary::available()
{
    return WebPLibrary().load();
}
