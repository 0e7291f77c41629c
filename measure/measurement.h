// A measurement: its start, the signal-polling thread and the feedback thread.
#pragma once
#include <cstdint>

void StartMeasurement();
// Starts a thread through the C runtime and closes its handle at once.
// Returns false when the thread could not be created.
bool StartWorker(unsigned (__stdcall* routine)(void*));
unsigned __stdcall SignalPoller(void*);
unsigned __stdcall FeedbackPlayer(void*);
void LoadFeedbackSounds();
