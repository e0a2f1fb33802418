#pragma once

#include <QByteArray>

// Plays a WAVE file asynchronously; a new play cuts the previous one off. Without a sound server nothing
// happens and nothing is reported.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QByteArray& wave) = 0;
};
