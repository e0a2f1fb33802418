#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// libwebp, loaded at run time: the WebP target exists only where the library does. Looked for as
// libwebp.so.7 or libwebp.so in the program's folder, then as the system's libwebp.so.7. The environment
// variable LUMETRA_WEBP_LIBRARY, when set, names the only file to try (for self-built libraries and tests).
class WebPLibrary
{
public:
    // The file the user is told about when the library is missing.
    static inline const QString FileName = QStringLiteral("libwebp.so.7");

    using EncodeLossless = std::size_t (*)(const uint8_t*, int, int, int, uint8_t**);
    using Encode = std::size_t (*)(const uint8_t*, int, int, int, float, uint8_t**);
    using Free = void (*)(void*);

    WebPLibrary() = default;
    // Unloads the library.
    ~WebPLibrary();
    WebPLibrary(const WebPLibrary&) = delete;
    WebPLibrary& operator=(const WebPLibrary&) = delete;

    // False when no candidate loads.
    bool load();
    // The file that was loaded.
    const QString& path() const { return m_path; }
    // Null when the library lacks the function.
    void* function(const char* name) const;

    // Whether load() would succeed now.
    static bool available();

private:
    void* m_handle = nullptr;
    QString m_path;
};
