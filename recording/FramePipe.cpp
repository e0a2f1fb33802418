#include "FramePipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// Three buffers: one being copied into, one being written, one waiting.
constexpr int Buffers = 3;
// A larger pipe wakes the encoder a few times per frame instead of some fifty.
constexpr int PipeSize = 1 << 20;

} // namespace

FramePipe::~FramePipe()
{
    finish();
    if (m_writer.joinable())
        m_writer.join();
    else if (m_write >= 0)
        ::close(m_write);
    if (m_read >= 0)
        ::close(m_read);
}

bool FramePipe::open(QSize frameSize)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    m_read = ends[0];
    m_write = ends[1];
    ::fcntl(m_write, F_SETPIPE_SZ, PipeSize);
    for (int i = 0; i < Buffers; ++i) {
        QImage buffer(frameSize, QImage::Format_RGB32);
        if (buffer.isNull())
            return false;
        buffer.fill(Qt::black);
        m_buffers.push_back(std::move(buffer));
    }
    for (QImage& buffer : m_buffers)
        m_free.push_back(&buffer);
    return true;
}

void FramePipe::childStarted()
{
    if (m_read >= 0)
        ::close(m_read);
    m_read = -1;
    m_writer = std::thread([this] { write(); });
}

QImage* FramePipe::acquire()
{
    std::lock_guard lock(m_lock);
    if (m_broken || m_finishing || m_free.empty())
        return nullptr;
    QImage* frame = m_free.back();
    m_free.pop_back();
    return frame;
}

void FramePipe::submit(QImage* frame, int count)
{
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back({ frame, count });
    }
    m_wake.notify_one();
}

void FramePipe::repeat(int count)
{
    std::lock_guard lock(m_lock);
    if (!m_queue.empty())
        m_queue.back().count += count;
}

void FramePipe::finish()
{
    {
        std::lock_guard lock(m_lock);
        m_finishing = true;
    }
    m_wake.notify_one();
}

void FramePipe::write()
{
    // An encoder that has gone makes the write fail with EPIPE instead of ending the program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock lock(m_lock);
    while (true) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_finishing; });
        if (m_finishing || m_broken)
            break;
        Queued& head = m_queue.front();
        if (head.count <= 0) {
            m_free.push_back(head.frame);
            m_queue.pop_front();
            continue;
        }
        --head.count;
        QImage* frame = head.frame;
        lock.unlock();
        const bool written = writeFrame(*frame);
        lock.lock();
        if (!written) {
            m_broken = true;
            break;
        }
        ++m_written;
    }
    for (const Queued& queued : m_queue)
        m_free.push_back(queued.frame);
    m_queue.clear();
    lock.unlock();
    ::close(m_write);
    m_write = -1;
}

bool FramePipe::writeFrame(const QImage& frame)
{
    // RGB32 rows have no padding: the buffer is one block of width x 4 x height bytes.
    const char* data = reinterpret_cast<const char*>(frame.constBits());
    qsizetype left = frame.sizeInBytes();
    while (left > 0) {
        const ssize_t written = ::write(m_write, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}
