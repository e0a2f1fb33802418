#include "UploadJob.h"

#include "Upload.h"

UploadJob::UploadJob(HttpClient& http, QString host, QImage bitmap, QObject* parent)
    : QObject(parent), m_http(http), m_host(std::move(host)), m_bitmap(std::move(bitmap))
{ }

UploadJob::~UploadJob()
{
    m_worker.request_stop();
    if (m_worker.joinable())
        m_worker.join();
}

void UploadJob::start()
{
    m_worker = std::jthread([this](std::stop_token stop) {
        QString url;
        uploadImage(
            m_http, m_host, m_bitmap, [this](qint64 position, qint64 total) { report(position, total); }, url,
            stop);
        if (!stop.stop_requested())
            QMetaObject::invokeMethod(
                this, [this, url] { emit finished(url); }, Qt::QueuedConnection);
    });
}

void UploadJob::report(qint64 position, qint64 total)
{
    m_position = position;
    m_total = total;
    // At most one hand-over waiting and one a frame: thousands of pieces need not become thousands of
    // repaints. The last one always goes, so that the gauge ends full.
    const auto now = std::chrono::steady_clock::now();
    if (position != total && now - m_lastReport < std::chrono::milliseconds(15))
        return;
    m_lastReport = now;
    if (!m_reportPending.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_reportPending = false;
                emit progress(m_position, m_total);
            },
            Qt::QueuedConnection);
}
