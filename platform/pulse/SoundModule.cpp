// The sound module: PulseAudio, also served by PipeWire desktops.

#include "PulseSoundPlayer.h"

extern "C" __attribute__((visibility("default"))) SoundPlayer* lumetraCreateSoundPlayer()
{
    return new PulseSoundPlayer;
}
