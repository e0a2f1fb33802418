#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <optional>

class Platform;

// One capture on its way to its target: the picture and the screen rectangle it was taken from.
struct Shot
{
    QImage bitmap;
    QRect rect;
};

// Why a target cannot run on this system, as the user is told when choosing it or capturing to it.
struct Unavailable
{
    // Shown as it is: translated already where the text has a translation.
    QString text;
    // The topic of the error-help page opened after the message; empty for none.
    QString helpTopic;
    // The target list goes back to PNG before the message is shown rather than after it.
    bool fallBackFirst = false;
};

// "The file is missing" for a file the target needs, translated.
QString FileNotFoundText(const QString& file);

// What the targets need of the window that hands them captures.
class TargetHost
{
public:
    // The next free name for the extension in the save folder; throws when there is none.
    virtual QString NewFilename(const QString& ext) = 0;
    // The JPEG and WebP qualities chosen in the window's lists.
    virtual int JpegQuality() const = 0;
    virtual int WebPQuality() const = 0;
    // Pixels per inch of the monitor the window is on.
    virtual int PixelsPerInch() const = 0;
    virtual Platform& platform() const = 0;
    // Starts the upload of the bitmap to the image store; the window handles its end.
    virtual void CaptureUpload(const QImage& bitmap) = 0;
    // Pins the bitmap in a floating window over `rect`, the screen area it came from.
    virtual void ShowFloating(const QImage& bitmap, const QRect& rect) = 0;
    // Whether the window lists a recognition language, and the start of a recognition of the bitmap, which
    // the window takes over; the recognition ends in DeliveryFinished. Throws when it cannot start.
    virtual bool HasRecognitionLanguages() const = 0;
    virtual void StartOcr(QImage& bitmap) = 0;
    // A target that finishes later reports the end of its work here, on the user-interface thread: an
    // empty failure for success (the after-capture sound plays when chosen), else the reason, shown as
    // the capture failure. The window takes captures again from then on.
    virtual void DeliveryFinished(const QString& failure) = 0;

protected:
    ~TargetHost() = default;
};

// One entry of the target list: what it accepts, whether it can run here, and what it does with a capture.
class Target
{
public:
    explicit Target(TargetHost& host) : m_host(host) { }
    virtual ~Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // A recording target is started and stopped by the capture command instead of being given pictures.
    virtual bool Records() const { return false; }
    // Whether captures of the source (an index of the source list) can go here. A refused combination is
    // told the user before anything else happens.
    virtual bool Accepts(int source) const;
    // What the target needs of the system, checked when it is chosen and before each capture; empty when
    // it can run.
    virtual std::optional<Unavailable> Check() const { return std::nullopt; }
    // A target whose work goes on after Deliver has returned (on a worker) keeps the capture dispatch busy
    // until the window has handled the work's end; a second capture meanwhile starts nothing.
    virtual bool EndsLater() const { return false; }
    // Hands one capture over; throws an Exception with the reason when that fails. The shot stays the
    // caller's unless the target finishes later.
    virtual void Deliver(Shot& shot) = 0;
    // The target keeps working after Deliver has returned and reports the end through
    // TargetHost::DeliveryFinished; the window takes no other capture meanwhile.
    virtual bool FinishesLater() const { return false; }

protected:
    TargetHost& host() const { return m_host; }

private:
    TargetHost& m_host;
};
