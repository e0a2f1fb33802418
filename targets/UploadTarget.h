#pragma once

#include "Target.h"

#include <QObject>
#include <memory>

class UploadProgressStrip;
class UploadJob;

// The capture posted to the image store on a worker while a strip shows the progress; the stored image's
// address then opens in the browser, or the failure is told.
class UploadTarget final : public QObject, public Target
{
public:
    explicit UploadTarget(TargetHost& host);
    ~UploadTarget() override;

    Completion completion() const override { return Completion::BusyUntilEnded; }
    void deliver(Shot& shot) override;

private:
    void onUploadFinished(const QString& url);

    std::unique_ptr<UploadJob> m_job;
    std::unique_ptr<UploadProgressStrip> m_progress;
};
