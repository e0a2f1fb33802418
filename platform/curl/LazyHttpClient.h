#pragma once

#include "platform/HttpClient.h"

#include <memory>
#include <mutex>

// The HTTP client of the module liblumetra-http.so, loaded by the first request: libcurl and its TLS
// libraries cost a resident program nothing until something is sent. When the module cannot be loaded,
// every request fails with the loader's reason.
class LazyHttpClient final : public HttpClient
{
public:
    // The C function the module exports; it returns a client the caller owns, or null.
    static constexpr const char* Entry = "lumetraCreateHttpClient";
    using Factory = HttpClient* (*)();

    LazyHttpClient();
    ~LazyHttpClient() override;

    HttpReply perform(const HttpRequest& request, std::stop_token stop = {}) override;

private:
    HttpClient* client();

    std::once_flag m_loaded;
    std::unique_ptr<HttpClient> m_client;
    QString m_error;
};
