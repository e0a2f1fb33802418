#pragma once

// What the region frame needs to know of a recording, given by the window that records.
class RecordingControl
{
public:
    virtual bool isRecording() const = 0;
    // Asks the running recording to stop.
    virtual void stopRecording() = 0;

protected:
    ~RecordingControl() = default;
};
