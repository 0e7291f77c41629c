// The program's four modes, each a signed 16-bit value. Kept apart from the
// state record so that code without windows.h (the phone display's byte-level
// part) reads them by the same names.
#pragma once
#include <cstdint>

enum RunModeValue : int16_t { Setup = 0, Measuring = 1 };
enum InputModeValue : int16_t { ListMode = 0, ManualMode = 1 };
enum SoundModeValue : int16_t { Tone = 0, Voice = 1, Silent = 2, Muted = 3 };
enum VoiceLanguageValue : int16_t { English = 0, Russian = 1 };
