// What the program publishes for the phone display, and the small versioned
// record through which ZentrikPhone.dll reads it. The DLL sees only the
// published fields, never the state record's layout, and writes none of them.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/published_caption.h"
#include "identity/published_identity.h"
#include "measure/signal_readings.h"

constexpr uint32_t kPhoneFeedVersion = 3;

// Pointers to the published fields, each read whole. A DLL that finds another
// version or a smaller record refuses to start.
struct PhoneFeed {
    uint32_t Version;
    uint32_t Size;
    const std::atomic<int16_t>* RunMode;
    const std::atomic<uint8_t>* SignalLocked;
    const std::atomic<int32_t>* SignalLevel;
    const std::atomic<uint32_t>* LevelText;  // the packed four characters
    const PublishedCaption* Caption;
    const std::atomic<int16_t>* SoundMode;
    const std::atomic<int16_t>* VoiceLanguage;
    const std::atomic<int32_t>* Cadence;
    const PublishedIdentity* Identity;  // which satellite the broadcast says it is, and its line
    // The card's strength and quality in percent, or kReadingUnknown.
    const std::atomic<int32_t>* SignalStrength;
    const std::atomic<int32_t>* SignalQuality;
};

// One reading of everything the page shows and plays.
struct PhoneSnapshot {
    bool Measuring = false;
    bool Locked = false;
    int32_t Level = 0;
    char LevelText[4] = {'0', '0', '%', '\0'};
    char Caption[kCaptionLength] = {};
    int16_t SoundMode = 0;
    int16_t VoiceLanguage = 0;
    int32_t Cadence = 0;
    ShownIdentity Identity;
    int32_t Strength = kReadingUnknown;
    int32_t Quality = kReadingUnknown;
};

PhoneSnapshot TakePhoneSnapshot(const PhoneFeed& feed);
bool SameSnapshot(const PhoneSnapshot& a, const PhoneSnapshot& b);
// Whether the snapshot was read under a lock while measuring: without one,
// nothing the card or the broadcast says is claimed.
bool MeasuringLocked(const PhoneSnapshot& snapshot);
// The identity the snapshot may claim: the published one while measuring
// under a lock, else nothing known (all unknown, the line empty), whatever
// was published: the lock and the identity are published one after the
// other, and a snapshot may fall between them.
ShownIdentity ClaimedIdentity(const PhoneSnapshot& snapshot);

// The DLL's entry points, looked up by these names.
enum PhoneStartResult : int32_t { PhoneStarted = 0, PhonePortInUse = 1, PhoneNoNetwork = 2,
                                  PhoneWrongFeed = 3 };
using StartPhoneServerFunction = int32_t (*)(const PhoneFeed* feed, uint16_t port);
using StopPhoneServerFunction = void (*)();
using PhoneServerAddressesFunction = void (*)(char* text, uint32_t size);
constexpr char kPhoneModuleName[] = "ZentrikPhone.dll";
constexpr char kStartPhoneServerName[] = "StartPhoneServer";
constexpr char kStopPhoneServerName[] = "StopPhoneServer";
constexpr char kPhoneServerAddressesName[] = "PhoneServerAddresses";
