#pragma once

#include <QImage>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Raw frames for an encoder, on a pipe of their own, written by a thread of its own so that an encoder
// that reads slowly never holds up the user interface. Each frame is written as many times as the
// recording's clock asks for, so the video lasts as long as the recording did. The user-interface thread
// fills a few reusable buffers; nothing is allocated per frame.
class FramePipe
{
public:
    FramePipe() = default;
    // Finishes and waits for the writer: the encoder must be gone or reading by then.
    ~FramePipe();
    FramePipe(const FramePipe&) = delete;
    FramePipe& operator=(const FramePipe&) = delete;

    // Creates the pipe and the buffers (Format_RGB32, black); false when the system refuses either.
    bool open(QSize frameSize);
    // The end the encoder reads, to be inherited by it under this number.
    int childDescriptor() const { return m_read; }
    // The encoder has its copy: closes this one and starts writing.
    void childStarted();

    // A buffer for the next frame; null while the writer holds every one (the encoder is behind) or the
    // encoder has gone.
    QImage* acquire();
    // Queues the acquired buffer to be written `count` times.
    void submit(QImage* frame, int count);
    // The last frame queued is written `count` more times; nothing when none is queued.
    void repeat(int count);
    // No more frames: the writer ends the frame it is writing, then closes the pipe, which the encoder
    // sees as the end of its input. Returns at once.
    void finish();

    qint64 framesWritten() const { return m_written.load(); }

private:
    struct Queued
    {
        QImage* frame;
        int count;
    };
    void write();
    bool writeFrame(const QImage& frame);

    int m_read = -1;
    int m_write = -1;
    std::vector<QImage> m_buffers;
    std::vector<QImage*> m_free;
    std::deque<Queued> m_queue;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_finishing = false;
    bool m_broken = false;
    std::atomic<qint64> m_written { 0 };
    std::thread m_writer;
};
