// The transport stream's two lower layers as the identity reader needs them
// (ISO/IEC 13818-1): 188-byte packets found in any slices of bytes, with sync
// found again after stray or lost bytes, and the sections of one PID put
// together across packets, several to a packet. Free of windows.h and of the
// heap: everything lives in the caller's structures.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kPacketBytes = 188;
constexpr uint8_t kSyncByte = 0x47;
// Sync is trusted once this many sync bytes stand a packet apart: one 0x47
// alone is as likely to be a byte of payload.
constexpr size_t kSyncPackets = 3;
// The longest section of the tables read here (NIT, SDT: section_length
// at most 1021, so 1024 bytes with the header).
constexpr size_t kMaxSectionBytes = 1024;

using PacketSink = void (*)(void* context, const uint8_t* packet);
using SectionSink = void (*)(void* context, const uint8_t* section, size_t length);

struct PacketSync {
    bool Synchronised = false;
    bool EverSynchronised = false;
    uint32_t SyncLosses = 0;  // each one ends the partial sections
    // While hunting: the bytes that may hold the next kSyncPackets syncs.
    uint8_t Hunt[kPacketBytes * kSyncPackets];
    size_t HuntCount = 0;
    // While synchronised: the start of a packet split across slices.
    uint8_t Carry[kPacketBytes];
    size_t CarryCount = 0;
};

struct SectionAssembly {
    int LastContinuity = -1;  // -1: none yet
    bool Collecting = false;
    size_t Have = 0;
    size_t Need = 0;  // 0 until the length field has arrived
    uint8_t Bytes[kMaxSectionBytes];
};

// The CRC-32 of MPEG-2 (polynomial 0x04C11DB7, initial all ones, no final
// inversion): over a whole section with its CRC it is 0.
uint32_t Crc32Mpeg2(const uint8_t* bytes, size_t count);

void ResetPacketSync(PacketSync* sync);
// Hands each whole packet to sink, in order.
void FeedPackets(PacketSync* sync, const uint8_t* bytes, size_t count, PacketSink sink, void* context);

uint16_t PacketPid(const uint8_t* packet);
void ResetSectionAssembly(SectionAssembly* assembly);
// Takes one packet of the assembly's PID; hands each complete section whose
// CRC holds to sink.
void AssembleSections(SectionAssembly* assembly, const uint8_t* packet, SectionSink sink, void* context);
