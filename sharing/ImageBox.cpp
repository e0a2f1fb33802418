#include "ImageBox.h"

#include "platform/HttpClient.h"
#include "platform/ScreenSource.h"
#include "save/PngEncoder.h"
#include "support/Exception.h"
#include "support/Q.Strings.h"
#include "support/SettingsStore.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstring>

Q_LOGGING_CATEGORY(lcUpload, "lumetra.upload", QtWarningMsg)

namespace {

// The maker's store, used until a person points the program at another.
const QString DefaultUploadHost = QStringLiteral("img.brenholt.example");
const QByteArray BoundaryPrefix = "----LumetraBoundary";
const QByteArray Crlf = "\r\n";
constexpr qint64 PieceSize = 1024;

// The upload address for "host" or "host:port"; invalid for anything more (a path, a user, a scheme).
QUrl UploadServer(const QString& host)
{
    QUrl server(QStringLiteral("http://") + host + QStringLiteral("/image"), QUrl::StrictMode);
    if (!server.isValid() || server.host().isEmpty() || !server.userInfo().isEmpty()
        || server.path() != QLatin1String("/image") || server.hasQuery() || server.hasFragment())
        return {};
    return server;
}

} // namespace

QString UploadHost()
{
    const QString chosen = qEnvironmentVariable("LUMETRA_UPLOAD_HOST").trimmed();
    if (!chosen.isEmpty())
        return chosen;
    SettingsStore config;
    const QString stored = config.readString(QStringLiteral("upload_host"), QString()).trimmed();
    return stored.isEmpty() ? DefaultUploadHost : stored;
}

QByteArray UploadBoundary()
{
    QRandomGenerator* random = QRandomGenerator::system();
    QByteArray boundary = BoundaryPrefix;
    for (int half = 0; half < 2; ++half)
        boundary += QByteArray::number(random->bounded(0x7FFFFFFF), 16).rightJustified(8, '0').toUpper();
    return boundary;
}

QByteArray UploadBody(const QImage& bitmap, const QByteArray& boundary)
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

QString UploadReplyAddress(int status, const QByteArray& reply)
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

void UploadImage(HttpClient& http, const QString& host, const QImage& Bitmap,
    const UploadProgress& OnProgress, QString& URL, std::stop_token stop, const UploadLimits& limits)
{
    URL.clear();
    try {
        const QUrl server = UploadServer(host);
        if (!server.isValid()) {
            qCWarning(lcUpload) << "not a host or host:port for the image store:" << host;
            return;
        }
        QElapsedTimer timer;
        timer.start();
        const QByteArray boundary = UploadBoundary();
        const QByteArray body = UploadBody(Bitmap, boundary);
        qCDebug(lcUpload) << "body of" << body.size() << "bytes in" << timer.restart() << "ms";
        UploadPieces pieces(body, OnProgress);
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
        URL = UploadReplyAddress(reply.status, reply.body);
        if (URL.isEmpty())
            qCWarning(lcUpload) << "the store answered" << reply.status << "without an address";
    } catch (const std::exception& error) {
        // Failures show as an empty address, an encoder's or the memory's as well.
        qCWarning(lcUpload) << "the upload failed:" << error.what();
        URL.clear();
    }
}

TProgressForm::TProgressForm(const QString& Text, ScreenSource& screen) : FForm(std::make_unique<QWidget>())
{
    FForm->setObjectName(QStringLiteral("ProgressForm"));
    // No frame, no taskbar entry, no focus, above the other windows, and every click goes to the window
    // below. Out of the window manager's hands, so that no placement policy moves it off its spot.
    FForm->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
        | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint);
    FForm->setAttribute(Qt::WA_ShowWithoutActivating);
    FForm->setWindowOpacity(140 / 255.0);

    const QList<Monitor> monitors = screen.monitors();
    const auto primary = std::find_if(
        monitors.begin(), monitors.end(), [](const Monitor& monitor) { return monitor.primary; });
    const QRect bounds = primary != monitors.end() ? primary->geometry : monitors.value(0).geometry;
    FForm->setGeometry(Placement(bounds, screen.workArea(bounds)));
    qCDebug(lcUpload) << "strip at" << FForm->geometry() << "on" << bounds;

    FGauge = new QProgressBar(FForm.get());
    FGauge->setObjectName(QStringLiteral("Gauge"));
    FGauge->setGeometry(FForm->rect());
    FGauge->setTextVisible(false);
    FGauge->setStyleSheet(QStringLiteral("QProgressBar { background: rgb(64, 0, 0); border: none; }"
                                         "QProgressBar::chunk { background: rgb(255, 0, 0); }"));
    FGauge->setRange(0, 100);
    FGauge->setValue(0);

    FLabel = new QLabel(Text, FForm.get());
    FLabel->setObjectName(QStringLiteral("Label"));
    QFont font = FLabel->font();
    font.setPixelSize(12);
    FLabel->setFont(font);
    QPalette white = FLabel->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    FLabel->setPalette(white);
    FLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FLabel->setGeometry(0, 8, bounds.width(), Height - 8);

    FForm->show();
}

TProgressForm::~TProgressForm() = default;

void TProgressForm::SetProgress(qint64 Position, qint64 Total)
{
    // The gauge counts in int; a body beyond that is shown in coarser steps.
    const qint64 step = Total > INT_MAX ? Total / INT_MAX + 1 : 1;
    FGauge->setRange(0, int(std::max<qint64>(Total / step, 1)));
    FGauge->setValue(int(std::clamp<qint64>(Position / step, 0, FGauge->maximum())));
}

QRect TProgressForm::Placement(const QRect& screen, const QRect& workArea)
{
    int bottom = screen.bottom();
    const int reserved = screen.bottom() - workArea.bottom();
    // A panel along the bottom takes less than half the screen; the work area of a screen it does not
    // touch ends with the screen.
    if (workArea.isValid() && reserved > 0 && reserved < screen.height() / 2)
        bottom = workArea.bottom();
    return QRect(screen.left(), bottom + 1 - Height, screen.width(), Height);
}
