#include "PulseSoundPlayer.h"

#include <QtEndian>

#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

struct Wave
{
    pa_sample_spec spec {};
    QByteArray samples;
};

// The PCM part of a RIFF WAVE file; false for anything else.
bool parseWave(const QByteArray& file, Wave& wave)
{
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return false;
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const QByteArray id = file.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(file.constData() + at + 4);
        const qsizetype body = at + 8;
        if (size > quint32(file.size() - body))
            return false;
        if (id == "fmt " && size >= 16) {
            const auto* p = file.constData() + body;
            const quint16 format = qFromLittleEndian<quint16>(p);
            const quint16 channels = qFromLittleEndian<quint16>(p + 2);
            const quint32 rate = qFromLittleEndian<quint32>(p + 4);
            const quint16 bits = qFromLittleEndian<quint16>(p + 14);
            if (format != 1 || channels == 0 || channels > 2 || (bits != 8 && bits != 16))
                return false;
            wave.spec.format = bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
            wave.spec.channels = uint8_t(channels);
            wave.spec.rate = rate;
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            wave.samples = file.mid(body, size);
            return pa_sample_spec_valid(&wave.spec);
        }
        at = body + size + (size & 1);
    }
    return false;
}

} // namespace

PulseSoundPlayer::PulseSoundPlayer() : m_worker([this] { run(); }) { }

PulseSoundPlayer::~PulseSoundPlayer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        ++m_generation;
    }
    m_wake.notify_all();
    m_worker.join();
}

void PulseSoundPlayer::play(const QByteArray& wave)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = wave;
        ++m_generation;
    }
    m_wake.notify_all();
}

void PulseSoundPlayer::run()
{
    for (;;) {
        QByteArray file;
        quint64 generation = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_pending.isEmpty(); });
            if (m_stopping)
                return;
            file = std::exchange(m_pending, {});
            generation = m_generation;
        }
        Wave wave;
        if (!parseWave(file, wave))
            continue;
        int error = 0;
        pa_simple* stream = pa_simple_new(nullptr, "Lumetra", PA_STREAM_PLAYBACK, nullptr, "capture sound",
            &wave.spec, nullptr, nullptr, &error);
        if (!stream)
            continue; // no sound server: nothing to play on
        auto cutOff = [&] {
            std::lock_guard lock(m_mutex);
            return m_generation != generation;
        };
        // Short pieces, so that a newer sound cuts this one off promptly.
        const qsizetype piece = 1024;
        bool interrupted = false;
        for (qsizetype at = 0; at < wave.samples.size(); at += piece) {
            if (cutOff()) {
                interrupted = true;
                break;
            }
            const size_t length = size_t(std::min(piece, wave.samples.size() - at));
            if (pa_simple_write(stream, wave.samples.constData() + at, length, &error) < 0)
                break;
        }
        if (interrupted)
            pa_simple_flush(stream, &error);
        else
            pa_simple_drain(stream, &error);
        pa_simple_free(stream);
    }
}
