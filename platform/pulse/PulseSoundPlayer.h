#pragma once

#include "platform/SoundPlayer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Plays through PulseAudio (also served by PipeWire desktops) on a worker thread, so that neither a slow
// sound server nor the length of the sound holds up the caller.
class PulseSoundPlayer final : public SoundPlayer
{
public:
    PulseSoundPlayer();
    ~PulseSoundPlayer() override;

    void play(const QByteArray& wave) override;

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    QByteArray m_pending;
    quint64 m_generation = 0;
    bool m_stopping = false;
    std::thread m_worker;
};
