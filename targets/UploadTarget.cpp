#include "UploadTarget.h"

#include "platform/Platform.h"
#include "sharing/Upload.h"
#include "sharing/UploadJob.h"
#include "sharing/UploadProgressStrip.h"
#include "support/Q.Translate.h"
#include "support/Q.Update.h"

UploadTarget::UploadTarget(TargetHost& host) : Target(host) { }

// An upload under way is abandoned at once rather than awaited.
UploadTarget::~UploadTarget() = default;

void UploadTarget::deliver(Shot& shot)
{
    Platform& platform = host().platform();
    m_progress = std::make_unique<UploadProgressStrip>(
        TranslateText(QStringLiteral("업로드 중입니다.")), platform.screen());
    m_job = std::make_unique<UploadJob>(platform.http(), uploadHost(), shot.bitmap);
    connect(m_job.get(), &UploadJob::progress, this, [this](qint64 position, qint64 total) {
        if (m_progress)
            m_progress->setProgress(position, total);
    });
    // Queued: the handler frees the job, which must not happen inside the job's own signal.
    connect(m_job.get(), &UploadJob::finished, this, &UploadTarget::onUploadFinished, Qt::QueuedConnection);
    m_job->start();
}

void UploadTarget::onUploadFinished(const QString& url)
{
    if (!url.isEmpty())
        ShellOpen(host().platform().shell(), url);
    else
        host().showMessage(
            MessageIcon::Error, TranslateText(QStringLiteral("이미지 업로드를 실패하였습니다.")));
    m_progress.reset();
    m_job.reset();
    host().endDelivery();
}
