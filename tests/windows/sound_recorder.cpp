#include "sound_recorder.h"

#include <mmsystem.h>

#include <cstring>
#include <mutex>

namespace {

using PlayFunction = BOOL(WINAPI*)(LPCSTR, UINT);
PlayFunction realPlay = nullptr;
std::mutex playedLock;
std::vector<PlayedSound> played;

BOOL WINAPI RecordingPlay(LPCSTR sound, UINT flags) {
    {
        std::lock_guard<std::mutex> guard(playedLock);
        played.push_back({GetTickCount64(), sound, flags});
    }
    return realPlay(sound, flags);
}

// Finds the import address slot of a function in this program's own image.
void** ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         entry->Name; ++entry) {
        if (_stricmp(reinterpret_cast<char*>(base + entry->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

bool InstallSoundRecorder() {
    void** slot = ImportSlot("winmm.dll", "sndPlaySoundA");
    if (!slot) return false;
    DWORD protection;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    realPlay = reinterpret_cast<PlayFunction>(*slot);
    *slot = reinterpret_cast<void*>(&RecordingPlay);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

std::vector<PlayedSound> PlayedSounds() {
    std::lock_guard<std::mutex> guard(playedLock);
    return played;
}

void ForgetPlayedSounds() {
    std::lock_guard<std::mutex> guard(playedLock);
    played.clear();
}
