// The module liblumetra-http.so: HTTP and HTTPS through libcurl, loaded when the program first needs it.

#include "platform/HttpClient.h"

#include <QFile>
#include <QLoggingCategory>

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <variant>

Q_LOGGING_CATEGORY(lcHttp, "lumetra.http", QtWarningMsg)

namespace {

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter
{
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using Multi = std::unique_ptr<CURLM, MultiDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

// The easy handle belongs to the multi handle from adding to removing; both go on every path.
class Attached
{
public:
    Attached(CURLM* multi, CURL* easy)
        : m_multi(multi), m_easy(easy), m_ok(curl_multi_add_handle(multi, easy) == CURLM_OK)
    { }
    ~Attached()
    {
        if (m_ok)
            curl_multi_remove_handle(m_multi, m_easy);
    }
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;
    bool ok() const { return m_ok; }

private:
    CURLM* m_multi;
    CURL* m_easy;
    bool m_ok;
};

struct Transfer
{
    const HttpRequest& request;
    qint64 sent = 0;
    QByteArray received;
    bool bodyFailed = false;
    bool tooLong = false;
};

size_t readBody(char* buffer, size_t size, size_t count, void* data)
{
    auto transfer = static_cast<Transfer*>(data);
    const qint64 room = std::min<qint64>(qint64(size * count), transfer->request.bodySize - transfer->sent);
    if (room <= 0)
        return 0;
    qint64 given = 0;
    try {
        if (transfer->request.readBody)
            given = transfer->request.readBody(buffer, room);
    } catch (...) {
        // Nothing may cross libcurl's C frames.
        given = 0;
    }
    // A body that ends before its announced size would leave the server waiting for the rest.
    if (given <= 0 || given > room) {
        transfer->bodyFailed = true;
        return CURL_READFUNC_ABORT;
    }
    transfer->sent += given;
    return size_t(given);
}

size_t writeReply(char* data, size_t size, size_t count, void* target)
{
    auto transfer = static_cast<Transfer*>(target);
    const size_t length = size * count;
    if (transfer->received.size() + qint64(length) > transfer->request.maxReplySize) {
        transfer->tooLong = true;
        return 0;
    }
    transfer->received.append(data, qsizetype(length));
    return length;
}

// The request's header lines, with libcurl's own spellings where they differ.
List headerList(const HttpRequest& request)
{
    List headers;
    auto addHeader = [&headers](const char* line) {
        if (curl_slist* longer = curl_slist_append(headers.get(), line)) {
            (void)headers.release();
            headers.reset(longer);
        }
    };
    for (const QByteArray& line : request.headers) {
        // libcurl drops a header without a value; "Name;" is its way to send one empty.
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.mid(colon + 1).trimmed().isEmpty())
            addHeader((line.left(colon) + ';').constData());
        else
            addHeader(line.constData());
    }
    // The body goes at once; waiting for a "100 Continue" only delays servers that never send one.
    if (request.bodySize >= 0)
        addHeader("Expect:");
    return headers;
}

// Everything the transfer needs to know; `transfer` and `headers` must outlive it.
void configure(CURL* handle, const HttpRequest& request, Transfer& transfer, curl_slist* headers)
{
    curl_easy_setopt(handle, CURLOPT_URL, request.url.toEncoded().constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    // Time-outs by signal would reach other threads of the program.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // A stop while the name is still being looked up must not wait for the look-up.
    curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
    if (request.http10)
        curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    if (!request.userAgent.isEmpty())
        curl_easy_setopt(handle, CURLOPT_USERAGENT, request.userAgent.constData());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    if (request.method == "GET" && request.bodySize < 0) {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(
            handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(std::max<qint64>(request.bodySize, 0)));
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, readBody);
        curl_easy_setopt(handle, CURLOPT_READDATA, &transfer);
        if (request.method != "POST")
            curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method.constData());
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeReply);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
        long(std::max<qint64>(1, (request.stallTimeout.count() + 999) / 1000)));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, long(request.totalTimeout.count()));
    if (!request.caFile.isEmpty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, QFile::encodeName(request.caFile).constData());
}

// Runs the attached transfer to its end; its result, or an error text when it was abandoned or libcurl
// failed.
std::variant<CURLcode, QString> run(CURLM* multi, CURL* handle, std::stop_token stop)
{
    // A stop wakes the wait below at once, from whichever thread asks.
    const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
    int running = 1;
    while (running) {
        if (stop.stop_requested())
            return QStringLiteral("abandoned");
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            return QStringLiteral("libcurl failed");
        if (running)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    CURLcode result = CURLE_OK;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued))
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle)
            result = message->data.result;
    return result;
}

class CurlHttpClient final : public HttpClient
{
public:
    HttpReply perform(const HttpRequest& request, std::stop_token stop) override;
};

HttpReply CurlHttpClient::perform(const HttpRequest& request, std::stop_token stop)
{
    HttpReply reply;
    const QString scheme = request.url.scheme();
    if (!request.url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        reply.error = QStringLiteral("not an http or https address: %1").arg(request.url.toString());
        return reply;
    }
    Easy easy(curl_easy_init());
    Multi multi(curl_multi_init());
    if (!easy || !multi) {
        reply.error = QStringLiteral("libcurl could not start a transfer");
        return reply;
    }
    CURL* handle = easy.get();
    Transfer transfer { request, 0, {}, false, false };
    char problem[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, problem);
    const List headers = headerList(request);
    configure(handle, request, transfer, headers.get());
    const Attached attached(multi.get(), handle);
    if (!attached.ok()) {
        reply.error = QStringLiteral("libcurl could not start a transfer");
        return reply;
    }
    const auto outcome = run(multi.get(), handle, stop);
    if (const auto* error = std::get_if<QString>(&outcome)) {
        reply.error = *error;
        return reply;
    }
    const CURLcode result = std::get<CURLcode>(outcome);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    reply.status = int(status);
    if (result != CURLE_OK) {
        if (transfer.tooLong)
            reply.error = QStringLiteral("the reply is longer than %1 bytes").arg(request.maxReplySize);
        else if (transfer.bodyFailed)
            reply.error = QStringLiteral("the body ended before its size");
        else
            reply.error = QString::fromUtf8(*problem ? problem : curl_easy_strerror(result));
        qCDebug(lcHttp) << request.method << request.url << "failed:" << reply.error;
        return reply;
    }
    reply.body = std::move(transfer.received);
    qCDebug(lcHttp) << request.method << request.url << "answered" << reply.status;
    return reply;
}

} // namespace

extern "C" __attribute__((visibility("default"))) HttpClient* lumetraCreateHttpClient()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready ? new CurlHttpClient : nullptr;
}
