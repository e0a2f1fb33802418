#pragma once

#include "platform/MessageBoxes.h"

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

// What the targets need of the capture dispatch that hands them captures.
class TargetHost
{
public:
    // The next free name for the extension in the save folder; throws when there is none.
    virtual QString newFileName(const QString& extension) = 0;
    virtual QString saveFolder() const = 0;
    // The JPEG and WebP qualities and the recognition language (an index; -1 for none) the user chose.
    virtual int jpegQuality() const = 0;
    virtual int webpQuality() const = 0;
    virtual int recognitionLanguage() const = 0;
    // Pixels per inch of the monitor the main window is on.
    virtual int pixelsPerInch() const = 0;
    virtual Platform& platform() const = 0;
    // A box titled with the product's name over the main window.
    virtual void showMessage(MessageIcon icon, const QString& text) = 0;
    // The end of the work of a target whose completion comes later, on the user-interface thread; the
    // dispatch takes captures again from then on. `failure` is empty for success (the after-capture sound
    // plays when chosen), else the reason, shown as the capture failure.
    virtual void finishDelivery(const QString& failure) = 0;
    // The end of the work of a target that is busy until ended and has told the user itself.
    virtual void endDelivery() = 0;

protected:
    ~TargetHost() = default;
};

// One entry of the target list: what it accepts, whether it can run here, and what it does with a capture.
class Target
{
public:
    enum class Completion {
        // Done when deliver returns.
        Immediate,
        // The after-capture sound plays when deliver returns; the dispatch stays busy until endDelivery.
        BusyUntilEnded,
        // Sound or failure come with finishDelivery, once the work is done.
        Later,
    };

    explicit Target(TargetHost& host) : m_host(host) { }
    virtual ~Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // A recording target is started and stopped by the capture command instead of being given pictures.
    virtual bool records() const { return false; }
    // Whether captures of the source (a CaptureSource) can go here. A refused combination is told the user
    // before anything else happens.
    virtual bool accepts(int source) const;
    // What the target needs of the system, checked when it is chosen and before each capture; empty when
    // it can run.
    virtual std::optional<Unavailable> problem() const { return std::nullopt; }
    virtual Completion completion() const { return Completion::Immediate; }
    // Hands one capture over; throws an Exception with the reason when that fails. The shot stays the
    // caller's unless the target's completion comes later. A recording target is never handed one.
    virtual void deliver(Shot& shot) { Q_UNUSED(shot) }

protected:
    TargetHost& host() const { return m_host; }

private:
    TargetHost& m_host;
};
