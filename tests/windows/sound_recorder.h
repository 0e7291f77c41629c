// Records every sound the program plays: the program's import of
// sndPlaySoundA is pointed at a recorder that passes the call on.
#pragma once
#include <windows.h>
#include <vector>

struct PlayedSound {
    ULONGLONG At;        // GetTickCount64 when it was played
    const void* Image;   // the WAV image the program passed
    UINT Flags;
};

bool InstallSoundRecorder();
std::vector<PlayedSound> PlayedSounds();
void ForgetPlayedSounds();
