#pragma once

#include <QRect>
#include <QString>

#include <memory>

class ScreenSource;
class QLabel;
class QProgressBar;
class QWidget;

// The thin strip along the bottom of the primary screen that shows an upload's progress. It takes no
// clicks and no focus; destroying the object removes it.
class UploadProgressStrip
{
public:
    static constexpr int Height = 30;

    // Builds and shows the strip with `caption` and the gauge at 0, on the primary monitor of `screen`.
    UploadProgressStrip(const QString& caption, ScreenSource& screen);
    ~UploadProgressStrip();
    UploadProgressStrip(const UploadProgressStrip&) = delete;
    UploadProgressStrip& operator=(const UploadProgressStrip&) = delete;

    QProgressBar* gauge() const { return m_gauge; }
    QWidget* window() const { return m_window.get(); }
    // The gauge's maximum and position, as byte counts of any size.
    void setProgress(qint64 position, qint64 total);

    // The bottom of `screen`, directly above a panel that reserves the bottom edge (the work area ends
    // above it); panels on the other edges leave the strip at the very bottom.
    static QRect placement(const QRect& screen, const QRect& workArea);

private:
    std::unique_ptr<QWidget> m_window;
    QProgressBar* m_gauge = nullptr;
    QLabel* m_label = nullptr;
};
