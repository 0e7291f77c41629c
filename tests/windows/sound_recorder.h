// Records every sound the program plays: the program's import of
// sndPlaySoundA is pointed at a recorder. The call reaches the audio output
// only when the run keeps real time (see sleep_recorder.h): with shortened
// sleeps each sound would be cut off by the next a moment later.
#pragma once
#include <windows.h>
#include <vector>

struct PlayedSound {
    ULONGLONG At;        // GetTickCount64 when it was played
    ULONGLONG SleptAt;   // the sleeps its thread had asked for until then (ms)
    DWORD Thread;
    const void* Image;   // the WAV image the program passed
    UINT Flags;
};

// Installs once per process.
bool InstallSoundRecorder();
std::vector<PlayedSound> PlayedSounds();
void ForgetPlayedSounds();
