#include "Upload.h"

#include "platform/HttpClient.h"
#include "save/PngEncoder.h"
#include "support/Exception.h"
#include "support/Q.Strings.h"
#include "support/SettingsStore.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcUpload, "lumetra.upload", QtWarningMsg)

namespace {

// The maker's store, used until a person points the program at another.
const QString DefaultUploadHost = QStringLiteral("img.brenholt.example");
const QByteArray BoundaryPrefix = "----LumetraBoundary";
const QByteArray Crlf = "\r\n";
constexpr qint64 PieceSize = 1024;

// The upload address for "host" or "host:port"; invalid for anything more (a path, a user, a scheme).
QUrl uploadServer(const QString& host)
{
    QUrl server(QStringLiteral("http://") + host + QStringLiteral("/image"), QUrl::StrictMode);
    if (!server.isValid() || server.host().isEmpty() || !server.userInfo().isEmpty()
        || server.path() != QLatin1String("/image") || server.hasQuery() || server.hasFragment())
        return {};
    return server;
}

} // namespace

QString uploadHost()
{
    const QString chosen = qEnvironmentVariable("LUMETRA_UPLOAD_HOST").trimmed();
    if (!chosen.isEmpty())
        return chosen;
    SettingsStore config;
    const QString stored = config.readString(QStringLiteral("upload_host"), QString()).trimmed();
    return stored.isEmpty() ? DefaultUploadHost : stored;
}

QByteArray uploadBoundary()
{
    QRandomGenerator* random = QRandomGenerator::system();
    QByteArray boundary = BoundaryPrefix;
    for (int half = 0; half < 2; ++half)
        boundary += QByteArray::number(random->bounded(0x7FFFFFFF), 16).rightJustified(8, '0').toUpper();
    return boundary;
}

QByteArray uploadBody(const QImage& bitmap, const QByteArray& boundary)
{
    const QByteArray head = "--" + boundary + Crlf
        + R"(Content-Disposition: form-data; name="file"; filename="lumetra.png")" + Crlf
        + "Content-Type: image/png" + Crlf + Crlf;
    const QByteArray tail = Crlf + "--" + boundary + "--" + Crlf;
    QByteArray body;
    // A screen compresses to a fraction of its pixels; one guess spares most of the regrowing.
    body.reserve(head.size() + bitmap.width() * bitmap.height() / 2 + tail.size());
    body += head;
    EncodePNG(bitmap, [&body](const void* data, std::size_t size) {
        body.append(static_cast<const char*>(data), qsizetype(size));
    });
    body += tail;
    return body;
}

QString uploadReplyAddress(int status, const QByteArray& reply)
{
    if (status != 200)
        return {};
    const QString text = QString::fromUtf8(reply);
    if (!text.contains(QLatin1String(R"("status":"success")")))
        return {};
    QString address;
    try {
        address = UnescapeJson(ExtractBetween(text, QStringLiteral(R"(url":")"), QStringLiteral("\"")));
    } catch (const Exception&) {
        return {};
    }
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        if (!address.isEmpty())
            qCWarning(lcUpload) << "the store answered an address that is not http or https:" << address;
        return {};
    }
    return address;
}

UploadPieces::UploadPieces(const QByteArray& body, UploadProgress onProgress)
    : m_body(body), m_onProgress(std::move(onProgress))
{ }

qint64 UploadPieces::read(char* buffer, qint64 room)
{
    const qint64 total = m_body.size();
    if (m_position >= total || room <= 0)
        return 0;
    if (m_onProgress)
        m_onProgress(m_position, total);
    const qint64 piece = std::min({ room, PieceSize, total - m_position });
    std::memcpy(buffer, m_body.constData() + m_position, std::size_t(piece));
    m_position += piece;
    if (m_position == total && m_onProgress)
        m_onProgress(total, total);
    return piece;
}

void uploadImage(HttpClient& http, const QString& host, const QImage& bitmap,
    const UploadProgress& onProgress, QString& url, std::stop_token stop, const UploadLimits& limits)
{
    url.clear();
    try {
        const QUrl server = uploadServer(host);
        if (!server.isValid()) {
            qCWarning(lcUpload) << "not a host or host:port for the image store:" << host;
            return;
        }
        QElapsedTimer timer;
        timer.start();
        const QByteArray boundary = uploadBoundary();
        const QByteArray body = uploadBody(bitmap, boundary);
        qCDebug(lcUpload) << "body of" << body.size() << "bytes in" << timer.restart() << "ms";
        UploadPieces pieces(body, onProgress);
        HttpRequest request;
        request.method = "POST";
        request.url = server;
        request.http10 = true;
        request.userAgent = "Lumetra Uploader";
        // The port the store listens on, 80 unless the host says otherwise.
        QUrl authority = server;
        authority.setPort(-1);
        request.headers = { "Host: " + authority.authority(QUrl::FullyEncoded).toUtf8() + ':'
                + QByteArray::number(server.port(80)),
            "Content-Type: multipart/form-data; boundary=" + boundary };
        request.bodySize = body.size();
        request.readBody = [&pieces](char* buffer, qint64 room) { return pieces.read(buffer, room); };
        request.connectTimeout = limits.connect;
        request.stallTimeout = limits.stall;
        request.maxReplySize = limits.maxReply;
        const HttpReply reply = http.perform(request, std::move(stop));
        qCDebug(lcUpload) << "sent and answered in" << timer.elapsed() << "ms";
        if (!reply.completed()) {
            qCWarning(lcUpload) << "the upload to" << host << "failed:" << reply.error;
            return;
        }
        url = uploadReplyAddress(reply.status, reply.body);
        if (url.isEmpty())
            qCWarning(lcUpload) << "the store answered" << reply.status << "without an address";
    } catch (const std::exception& error) {
        // Failures show as an empty address, an encoder's or the memory's as well.
        qCWarning(lcUpload) << "the upload failed:" << error.what();
        url.clear();
    }
}
