#pragma once

#include "targets/Target.h"

#include <QObject>
#include <memory>

class MainWindow;
class Platform;
class QTimer;
class RecordingController;
class Settings;
class SourceWindows;
class ScreenCapture;
class TargetTable;
class UserMessages;

// Carries out the capture command, from the hotkey or another process: takes the picture from the chosen
// source and hands it to the chosen target, or starts and stops the recording. One at a time: a command
// while a capture, a delivery or the start of a recording is under way does nothing.
class CaptureDispatcher final : public QObject, public TargetHost
{
    Q_OBJECT

public:
    enum class State {
        Idle,
        // The picture is being taken and handed to its target.
        Capturing,
        // A target works on after the capture (an upload, a recognition); it reports the end.
        Delivering,
        StartingRecording,
        Recording,
    };

    CaptureDispatcher(Platform& platform, Settings& settings, MainWindow& window, SourceWindows& sources,
        RecordingController& recording, UserMessages& messages);
    ~CaptureDispatcher() override;

    // The capture engine; commands before it exists do nothing.
    void createEngine();
    State state() const { return m_state; }
    TargetTable& targets() const { return *m_targets; }

    // The capture command.
    void start();

    QString newFileName(const QString& extension) override;
    QString saveFolder() const override;
    int jpegQuality() const override;
    int webpQuality() const override;
    int recognitionLanguage() const override;
    int pixelsPerInch() const override;
    Platform& platform() const override { return m_platform; }
    void showMessage(MessageIcon icon, const QString& text) override;
    void finishDelivery(const QString& failure) override;
    void endDelivery() override;

private:
    void capture(int source, Target* target);
    // Fills the shot for the sources read from the screen; throws when the screen cannot be read.
    void grab(int source, Shot& shot);
    void startRecording(int source);
    void onRecordingTimeChanged(const QString& time);
    void onRecordingEnded(const QString& failure);
    void playCaptureSound();
    void onRestTimeout();

    Platform& m_platform;
    Settings& m_settings;
    MainWindow& m_window;
    SourceWindows& m_sources;
    RecordingController& m_recording;
    UserMessages& m_messages;
    std::unique_ptr<TargetTable> m_targets;
    std::unique_ptr<ScreenCapture> m_engine;
    State m_state = State::Idle;
    QTimer* m_rest = nullptr;
};
