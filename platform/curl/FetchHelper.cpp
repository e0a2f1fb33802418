// The helper lumetra-fetch: one request read from standard input (its body, if any, right after it), its
// reply written to standard output; or, with "--request" and the request in Base64, one whose reply nobody
// reads.
// The resident program asks through it so that libcurl and TLS live and die with this process.

#include "HttpWire.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <memory>

extern "C" HttpClient* lumetraCreateHttpClient();

int main(int argc, char** argv)
{
    const bool unheard = argc == 3 && std::strcmp(argv[1], "--request") == 0;
    QFile input;
    QFile output;
    if ((!unheard && !input.open(stdin, QIODevice::ReadOnly)) || !output.open(stdout, QIODevice::WriteOnly))
        return 2;
    HttpRequest request;
    const bool read = unheard ? HttpWire::readRequest(QByteArray::fromBase64(argv[2]), request)
                              : HttpWire::readRequest(input, request);
    if (!read) {
        std::fputs("lumetra-fetch: the request could not be read\n", stderr);
        return 2;
    }
    if (request.bodySize >= 0)
        request.readBody = [&input](char* buffer, qint64 room) { return input.read(buffer, room); };
    const std::unique_ptr<HttpClient> client(lumetraCreateHttpClient());
    HttpReply reply;
    if (client)
        reply = client->perform(request);
    else
        reply.error = QStringLiteral("libcurl could not start");
    if (unheard)
        return reply.completed() ? 0 : 1;
    output.write(HttpWire::reply(reply));
    return output.flush() ? 0 : 2;
}
