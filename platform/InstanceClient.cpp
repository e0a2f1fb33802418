#include "InstanceClient.h"

#include "InstanceProtocol.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace InstanceClient {
namespace {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

int connectTo(const std::string& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const void* data, std::size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= std::size_t(n);
    }
    return true;
}

void putU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

// Waits as long as the running copy's handler takes, as a sender of a window message does.
std::optional<std::int32_t> exchange(const std::string& socketPath, const std::string& request)
{
    FileDescriptor fd(connectTo(socketPath));
    if (fd.get() < 0 || !writeAll(fd.get(), request.data(), request.size()))
        return std::nullopt;
    unsigned char answer[4];
    std::size_t got = 0;
    while (got < sizeof(answer)) {
        const ssize_t n = ::recv(fd.get(), answer + got, sizeof(answer) - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        got += std::size_t(n);
    }
    const std::uint32_t value = std::uint32_t(answer[0]) | std::uint32_t(answer[1]) << 8
        | std::uint32_t(answer[2]) << 16 | std::uint32_t(answer[3]) << 24;
    return std::int32_t(value);
}

} // namespace

std::string runtimeDirectory(std::string* error)
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return runtime;
    const std::string folder = "/tmp/lumetra-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = folder + ": " + std::strerror(errno);
        return {};
    }
    // Someone else may have made the folder first; the socket and lock must not live where others can reach.
    struct stat info
    { };
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 077) != 0) {
        if (error)
            *error = folder + ": not a private folder of this user";
        return {};
    }
    return folder;
}

std::string lockPath(const std::string& directory)
{
    return directory + "/" + InstanceProtocol::MutexName;
}

std::string socketPath(const std::string& directory)
{
    return directory + "/" + InstanceProtocol::WindowClass;
}

LockResult acquireLock(const std::string& path, int& fd)
{
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return LockResult::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return LockResult::Acquired;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    fd = -1;
    return held ? LockResult::HeldElsewhere : LockResult::Failed;
}

bool isRunning(const std::string& socketPath)
{
    FileDescriptor fd(connectTo(socketPath));
    return fd.get() >= 0;
}

std::optional<std::int32_t> sendUser(const std::string& socketPath, std::uint32_t wParam)
{
    std::string request;
    putU32(request, InstanceProtocol::WmUser);
    putU32(request, wParam);
    return exchange(socketPath, request);
}

std::optional<std::int32_t> sendCopyData(
    const std::string& socketPath, std::uint32_t dwData, std::u16string_view text)
{
    std::string request;
    putU32(request, InstanceProtocol::WmCopyData);
    putU32(request, dwData);
    for (char16_t unit : text) {
        request.push_back(char(unit & 0xFF));
        request.push_back(char(unit >> 8));
    }
    request.append(2, '\0');
    return exchange(socketPath, request);
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        }
        bool valid = length > 0 && i + std::size_t(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
        valid = valid && code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(char16_t(0xD800 + (code >> 10)));
            out.push_back(char16_t(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(char16_t(code));
        }
        i += std::size_t(length);
    }
    return out;
}

} // namespace InstanceClient
