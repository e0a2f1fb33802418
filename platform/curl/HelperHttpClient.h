#pragma once

#include "platform/HttpClient.h"

// Each request in a process of its own, the helper lumetra-fetch beside the program: libcurl and its TLS
// libraries are loaded there and go when it ends, so a resident program's memory does not keep them. A stop
// kills the helper. A body goes to it through a pipe, pulled from the caller as the pipe takes it.
class HelperHttpClient final : public HttpClient
{
public:
    HttpReply perform(const HttpRequest& request, std::stop_token stop = {}) override;
    // A helper of its own that nobody waits for and that outlives the program if it must.
    void sendUnheard(const HttpRequest& request) override;
};
