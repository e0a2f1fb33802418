#pragma once

#include <QByteArray>
#include <QImage>
#include <QLoggingCategory>
#include <QString>

#include <chrono>
#include <functional>
#include <stop_token>

class HttpClient;

// Bytes of the request body handed over so far, and the whole body.
using UploadProgress = std::function<void(qint64 position, qint64 total)>;

Q_DECLARE_LOGGING_CATEGORY(lcUpload)

// The image store, as "host" or "host:port": LUMETRA_UPLOAD_HOST when it is set, else the setting
// "upload_host", else the maker's store.
QString uploadHost();

// A multipart boundary: a fixed prefix and 16 upper-case hexadecimal digits, new for every upload.
QByteArray uploadBoundary();
// The request body: the bitmap's PNG bytes, exactly as the PNG writer writes them, in one file part.
// Throws when the bitmap is empty or cannot be encoded.
QByteArray uploadBody(const QImage& bitmap, const QByteArray& boundary);
// The stored image's address in the store's reply; empty unless the status is 200, the reply carries the
// exact success marker and the address is an http or https one (nothing else may reach the desktop's
// handler from a server's reply).
QString uploadReplyAddress(int status, const QByteArray& reply);

// Hands a body out in pieces of at most 1024 bytes, reporting (position, total) before each piece and
// (total, total) once the last piece is out, so that a gauge advances smoothly and ends full.
class UploadPieces
{
public:
    UploadPieces(const QByteArray& body, UploadProgress onProgress);
    // Copies the next piece into `buffer`, at most `room` bytes; 0 at the end.
    qint64 read(char* buffer, qint64 room);

private:
    const QByteArray& m_body;
    UploadProgress m_onProgress;
    qint64 m_position = 0;
};

// Bounds of one upload. A store that takes the connection but never answers ends in a failure after the
// stall time rather than a wait without end.
struct UploadLimits
{
    std::chrono::milliseconds connect { 30000 };
    std::chrono::milliseconds stall { 30000 };
    qint64 maxReply = 1024 * 1024;
};

// Posts the bitmap as a PNG file to the image store at `host` and sets `url` to the stored image's
// address, or leaves it empty when the upload does not succeed. Runs on the calling thread (a worker),
// which `onProgress` is also called on. Never throws; `stop` abandons the upload at once.
void uploadImage(HttpClient& http, const QString& host, const QImage& bitmap,
    const UploadProgress& onProgress, QString& url, std::stop_token stop = {},
    const UploadLimits& limits = {});
