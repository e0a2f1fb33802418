#include "Module.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

QStringList candidateFolders()
{
    QStringList folders;
    const QString chosen = qEnvironmentVariable("LUMETRA_MODULE_DIR");
    if (!chosen.isEmpty())
        return { chosen };
    Dl_info info {};
    if (dladdr(reinterpret_cast<void*>(&candidateFolders), &info) && info.dli_fname) {
        const QDir here = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteDir();
        folders << here.path() << QFileInfo(here.path()).absolutePath();
    }
    return folders;
}

} // namespace

QString ModuleFile(const QString& file, QString* error)
{
    const QStringList folders = candidateFolders();
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + file;
        if (QFileInfo::exists(path))
            return path;
    }
    if (error)
        *error = QStringLiteral("%1 was not found").arg(file);
    return {};
}

void* ModuleEntry(const QString& name, const char* entry, QString* error)
{
    const QString file = QStringLiteral("liblumetra-%1.so").arg(name);
    QString reason = QStringLiteral("%1 was not found").arg(file);
    const QStringList folders = candidateFolders();
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + file;
        if (!QFileInfo::exists(path))
            continue;
        // Local: the modules' own dependencies must not take the place of the program's symbols.
        void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            reason = QString::fromLocal8Bit(dlerror());
            continue;
        }
        if (void* address = dlsym(handle, entry))
            return address;
        reason = QStringLiteral("%1 has no %2").arg(path, QLatin1String(entry));
    }
    if (error)
        *error = reason;
    return nullptr;
}
