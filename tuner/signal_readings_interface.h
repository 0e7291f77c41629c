// An optional interface of our own that a tuner component may offer beside
// the tuner-control interface: the card's signal strength and quality apart,
// where the tuner-control interface gives one level. Zentrik asks the tuner
// filter for it with QueryInterface once a transponder is tuned and reads it
// on every poll while locked, for the phone display; a filter without it
// changes nothing. The README documents it for other tuner components.
#pragma once
#include <windows.h>
#include <unknwn.h>
#include <cstdint>

// {636769BE-BC90-4CA2-92A8-06C60D573A39}
static const GUID kSignalReadingsInterfaceId = {
    0x636769BE, 0xBC90, 0x4CA2, {0x92, 0xA8, 0x06, 0xC6, 0x0D, 0x57, 0x3A, 0x39}};

// A percentage the tuner cannot give.
constexpr int32_t kSignalPercentUnknown = -1;

// The unit of a raw value as the card gave it.
enum ZentrikSignalUnit : uint16_t {
    kSignalNoValue = 0,      // the card gave no such value
    kSignalUnitUnknown = 1,  // a value whose unit is not known
    kSignalPercent = 2,      // 0..100
    kSignalOf65535 = 3,      // a 16-bit scale, 0..65535
    kSignalMilliDecibel = 4, // mdB, as BDA defines its strength (negative in practice)
};

// What the card's latest reading said. The caller sets cbSize to the size it
// knows; the record only grows at its end, so a component fills what both
// know. Every field is the same on x86 and x64 (no pointers).
struct ZentrikSignalInfo {
    uint32_t cbSize;
    // The strength (the card's gain control) and the quality (which follows
    // the signal-to-noise ratio) in percent, 0..100, or kSignalPercentUnknown.
    int32_t StrengthPercent;
    int32_t QualityPercent;
    // The values as the card reported them, in their units.
    int32_t StrengthRaw;
    int32_t QualityRaw;
    uint16_t StrengthUnit;  // a ZentrikSignalUnit
    uint16_t QualityUnit;   // a ZentrikSignalUnit
};
static_assert(sizeof(ZentrikSignalInfo) == 24, "one layout on every architecture");

struct IZentrikSignalReadings : public IUnknown {
    // Fills *info with the latest reading, lock or not. S_OK when either
    // percentage is known, S_FALSE when neither is; E_POINTER for a null
    // record, E_INVALIDARG when cbSize is smaller than the record. Called from
    // the program's polling thread, without COM initialisation, right after
    // its lock check and level read: it must answer at once, from what those
    // found, without a call to the card.
    virtual HRESULT STDMETHODCALLTYPE GetSignalReadings(ZentrikSignalInfo* info) = 0;
};
