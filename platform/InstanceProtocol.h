#pragma once

// The command channel between copies of the program, shared by the Qt-free launcher and the running copy.
//
// One request per connection on the Unix socket "TFrmLumetra", all numbers little-endian:
//   u32 message, u32 param         WM_USER: param is wParam; WM_COPYDATA: param is dwData
//   WM_COPYDATA only: the text as UTF-16LE code units, ended by a NUL unit
// The answer is one i32, written after the running copy's handler has returned; then the connection closes.

#include <cstddef>
#include <cstdint>

namespace InstanceProtocol {

constexpr std::uint32_t WmUser = 0x0400;
constexpr std::uint32_t WmCopyData = 0x004A;
// The param of a JSON command.
constexpr std::uint32_t JsonCommand = 1;

// The parameters of a WM_USER message from a second copy.
constexpr std::uint32_t ShowCommand = 1; // bring the running copy's window to the front
constexpr std::uint32_t QuitCommand = 2; // end the running copy without a question

constexpr const char* MutexName = "LumetraMutex";
constexpr const char* WindowClass = "TFrmLumetra";

constexpr std::size_t HeaderBytes = 8;
// Commands are a few dozen characters; anything longer is refused unread.
constexpr std::size_t MaxTextBytes = 64 * 1024;
// A client that stops sending for this long is answered 0 and dropped.
constexpr int IdleTimeoutMs = 5000;

} // namespace InstanceProtocol
