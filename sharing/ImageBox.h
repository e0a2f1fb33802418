#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

class HttpClient;
class ScreenSource;
class QLabel;
class QProgressBar;
class QWidget;

// Bytes of the request body handed over so far, and the whole body.
using UploadProgress = std::function<void(qint64 Position, qint64 Total)>;

// The image store, as "host" or "host:port": LUMETRA_UPLOAD_HOST when it is set, else the setting
// "upload_host", else the maker's store.
QString UploadHost();

// A multipart boundary: a fixed prefix and 16 upper-case hexadecimal digits, new for every upload.
QByteArray UploadBoundary();
// The request body: the bitmap's PNG bytes, exactly as the PNG writer writes them, in one file part.
// Throws when the bitmap is empty or cannot be encoded.
QByteArray UploadBody(const QImage& bitmap, const QByteArray& boundary);
// The stored image's address in the store's reply; empty unless the status is 200, the reply carries the
// exact success marker and the address is an http or https one (nothing else may reach the desktop's
// handler from a server's reply).
QString UploadReplyAddress(int status, const QByteArray& reply);

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

// Posts the bitmap as a PNG file to the image store at `host` and sets `URL` to the stored image's
// address, or leaves it empty when the upload does not succeed. Runs on the calling thread (a worker),
// which `OnProgress` is also called on. Never throws; `stop` abandons the upload at once.
void UploadImage(HttpClient& http, const QString& host, const QImage& Bitmap,
    const UploadProgress& OnProgress, QString& URL, std::stop_token stop = {},
    const UploadLimits& limits = {});

// The thin strip along the bottom of the primary screen that shows an upload's progress. It takes no
// clicks and no focus; destroying the object removes it.
class TProgressForm
{
public:
    static constexpr int Height = 30;

    // Builds and shows the strip with `Text` as its caption and the gauge at 0, on the primary monitor of
    // `screen`.
    TProgressForm(const QString& Text, ScreenSource& screen);
    ~TProgressForm();
    TProgressForm(const TProgressForm&) = delete;
    TProgressForm& operator=(const TProgressForm&) = delete;

    QProgressBar* Gauge() const { return FGauge; }
    QWidget* Form() const { return FForm.get(); }
    // The gauge's maximum and position, as byte counts of any size.
    void SetProgress(qint64 Position, qint64 Total);

    // The bottom of `screen`, directly above a panel that reserves the bottom edge (the work area ends
    // above it); panels on the other edges leave the strip at the very bottom.
    static QRect Placement(const QRect& screen, const QRect& workArea);

private:
    std::unique_ptr<QWidget> FForm;
    QProgressBar* FGauge = nullptr;
    QLabel* FLabel = nullptr;
};
