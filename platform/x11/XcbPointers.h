#pragma once

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};

// An XCB reply or error, freed on every path.
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

struct XcbConnectionDeleter
{
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbConnectionDeleter>;

// Reply of a request made with its cookie; the error, if any, is discarded.
#define XCB_REPLY(call, connection, ...)                                                                     \
    XcbReply<call##_reply_t>(call##_reply(connection, call(connection __VA_OPT__(, ) __VA_ARGS__), nullptr))
