// The image store: a capture posted on a worker while the strip shows how far it has come.

#include "Main.h"

#include "platform/Platform.h"
#include "sharing/ImageBox.h"
#include "sharing/UploadJob.h"
#include "support/Q.Translate.h"
#include "support/Q.Update.h"

void TFrmLumetra::CaptureUpload(const QImage& Bitmap)
{
    FProgress = std::make_unique<TProgressForm>(
        TranslateText(QStringLiteral("업로드 중입니다.")), m_platform.screen());
    FUpload = std::make_unique<UploadJob>(m_platform.http(), UploadHost(), Bitmap);
    connect(FUpload.get(), &UploadJob::progress, this, [this](qint64 position, qint64 total) {
        if (FProgress)
            FProgress->SetProgress(position, total);
    });
    // Queued: the handler frees the job, which must not happen inside the job's own signal.
    connect(FUpload.get(), &UploadJob::finished, this, &TFrmLumetra::UploadFinished, Qt::QueuedConnection);
    FUpload->start();
}

void TFrmLumetra::UploadFinished(const QString& url)
{
    if (!url.isEmpty())
        ShellOpen(m_platform.shell(), url);
    else
        ShowMessage(MessageIcon::Error, TranslateText(QStringLiteral("이미지 업로드를 실패하였습니다.")));
    FProgress.reset();
    FUpload.reset();
    FStatus = stIdle;
}
