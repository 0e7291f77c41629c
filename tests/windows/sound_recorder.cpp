#include "sound_recorder.h"

#include <mmsystem.h>

#include <mutex>

#include "import_hook.h"
#include "sleep_recorder.h"

namespace {

using PlayFunction = BOOL(WINAPI*)(LPCSTR, UINT);
PlayFunction realPlay = nullptr;
std::mutex playedLock;
std::vector<PlayedSound> played;

BOOL WINAPI RecordingPlay(LPCSTR sound, UINT flags) {
    {
        std::lock_guard<std::mutex> guard(playedLock);
        played.push_back({GetTickCount64(), SleptOnThisThread(), GetCurrentThreadId(), sound, flags});
    }
    return SleepsShortened() ? TRUE : realPlay(sound, flags);
}

}  // namespace

bool InstallSoundRecorder() {
    if (realPlay) return true;
    realPlay = reinterpret_cast<PlayFunction>(
        ReplaceImport("winmm.dll", "sndPlaySoundA", reinterpret_cast<void*>(&RecordingPlay)));
    return realPlay != nullptr;
}

std::vector<PlayedSound> PlayedSounds() {
    std::lock_guard<std::mutex> guard(playedLock);
    return played;
}

void ForgetPlayedSounds() {
    std::lock_guard<std::mutex> guard(playedLock);
    played.clear();
}
