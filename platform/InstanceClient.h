#pragma once

// The sending side of the command channel and the single-instance lock, free of Qt so that the launcher
// and `lumetra --command` start fast.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace InstanceClient {

// $XDG_RUNTIME_DIR, else a private folder /tmp/lumetra-<uid> created with mode 0700. Empty, with `error`
// filled in, when no safe folder can be had (the fallback exists but belongs to someone else or is open to
// others).
std::string runtimeDirectory(std::string* error = nullptr);
std::string lockPath(const std::string& directory);
std::string socketPath(const std::string& directory);

enum class LockResult { Acquired, HeldElsewhere, Failed };
// Takes the exclusive lock that marks the running copy. On Acquired, `fd` stays open for the life of the
// process (the kernel drops the lock when the process ends).
LockResult acquireLock(const std::string& path, int& fd);

// True when a running copy accepts connections on the socket.
bool isRunning(const std::string& socketPath);

// Sends one request and waits for the answer; empty when no copy answers.
std::optional<std::int32_t> sendUser(const std::string& socketPath, std::uint32_t wParam);
std::optional<std::int32_t> sendCopyData(
    const std::string& socketPath, std::uint32_t dwData, std::u16string_view text);

// Invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

} // namespace InstanceClient
