#include "phone/phone_feed.h"

#include <cstring>

#include "app/modes.h"
#include "measure/level_text.h"

PhoneSnapshot TakePhoneSnapshot(const PhoneFeed& feed) {
    PhoneSnapshot snapshot;
    snapshot.Measuring = feed.RunMode->load() == Measuring;
    snapshot.Locked = feed.SignalLocked->load() != 0;
    snapshot.Level = feed.SignalLevel->load();
    ReadLevelText(*feed.LevelText, snapshot.LevelText);
    ReadPublishedCaption(*feed.Caption, snapshot.Caption);
    snapshot.SoundMode = feed.SoundMode->load();
    snapshot.VoiceLanguage = feed.VoiceLanguage->load();
    snapshot.Cadence = feed.Cadence->load();
    snapshot.Identity = ReadPublishedIdentity(*feed.Identity);
    snapshot.Strength = feed.SignalStrength->load();
    snapshot.Quality = feed.SignalQuality->load();
    return snapshot;
}

bool SameSnapshot(const PhoneSnapshot& a, const PhoneSnapshot& b) {
    return a.Measuring == b.Measuring && a.Locked == b.Locked && a.Level == b.Level &&
           std::memcmp(a.LevelText, b.LevelText, sizeof a.LevelText) == 0 &&
           std::memcmp(a.Caption, b.Caption, sizeof a.Caption) == 0 &&
           a.SoundMode == b.SoundMode && a.VoiceLanguage == b.VoiceLanguage &&
           a.Cadence == b.Cadence && std::memcmp(&a.Identity, &b.Identity, sizeof a.Identity) == 0 &&
           a.Strength == b.Strength && a.Quality == b.Quality;
}

bool MeasuringLocked(const PhoneSnapshot& snapshot) { return snapshot.Measuring && snapshot.Locked; }

ShownIdentity ClaimedIdentity(const PhoneSnapshot& snapshot) {
    const uint8_t match = snapshot.Identity.Record.Match;
    const bool claimed = MeasuringLocked(snapshot) && match != IdentityUnknown && match <= IdentityMismatch;
    return claimed ? snapshot.Identity : ShownIdentity();
}
