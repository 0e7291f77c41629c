// The actions behind the three large buttons and the sound, language, mute and
// read-out controls. UI thread only.
#pragma once
#include <atomic>
#include <cstdint>

#include "transponder/transponder.h"

void ModeAction();
void MiddleAction();
StartResult StartAction();
void AdvanceSoundMode();
void ToggleVoiceLanguage();
void MuteKey();
void ToggleBigReadout();
// Blocks the UI thread until the running flag is clear, looking every 200 ms.
void WaitForFlagClear(const std::atomic<uint8_t>& flag);
