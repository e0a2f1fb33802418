#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

class HttpClient;

// One upload on a thread of its own, so that the user interface goes on while the image travels. Its
// progress and its end are reported on the thread that made the job; destroying the job abandons an
// upload under way at once.
class UploadJob final : public QObject
{
    Q_OBJECT

public:
    // Keeps a copy of the bitmap: the capture that gave it may end before the upload does.
    UploadJob(HttpClient& http, QString host, QImage bitmap, QObject* parent = nullptr);
    ~UploadJob() override;

    void start();

signals:
    // Coalesced: the latest counts when the receiving thread gets to them.
    void progress(qint64 position, qint64 total);
    // The stored image's address; empty when the upload failed.
    void finished(const QString& url);

private:
    void report(qint64 position, qint64 total);

    HttpClient& m_http;
    const QString m_host;
    const QImage m_bitmap;
    std::atomic<qint64> m_position { 0 };
    std::atomic<qint64> m_total { 0 };
    std::atomic<bool> m_reportPending { false };
    // Touched by the worker alone.
    std::chrono::steady_clock::time_point m_lastReport;
    // Last, so that it is joined before anything it uses goes.
    std::jthread m_worker;
};
