#include "identity/ts_sections.h"

#include <cstring>

namespace {

struct CrcTable {
    uint32_t Entries[256];
};

constexpr CrcTable MakeCrcTable() {
    CrcTable table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table.Entries[i] = crc;
    }
    return table;
}

constexpr CrcTable kCrcTable = MakeCrcTable();

// The first offset where kSyncPackets sync bytes stand a packet apart, or
// count when there is none.
size_t FindSync(const uint8_t* bytes, size_t count) {
    const size_t span = kPacketBytes * (kSyncPackets - 1);
    for (size_t i = 0; i + span < count; ++i) {
        bool found = true;
        for (size_t k = 0; k < kSyncPackets && found; ++k) found = bytes[i + k * kPacketBytes] == kSyncByte;
        if (found) return i;
    }
    return count;
}

// Hunting for sync: takes bytes into the hunt window; once the syncs line up
// the window's whole packets go to sink and the rest starts the carry.
// Returns how many of bytes were taken.
size_t Hunt(PacketSync* sync, const uint8_t* bytes, size_t count, PacketSink sink, void* context) {
    const size_t room = sizeof sync->Hunt - sync->HuntCount;
    const size_t taken = count < room ? count : room;
    std::memcpy(sync->Hunt + sync->HuntCount, bytes, taken);
    sync->HuntCount += taken;
    const size_t at = FindSync(sync->Hunt, sync->HuntCount);
    if (at == sync->HuntCount) {
        // Keep only the tail where a run of syncs may still begin.
        const size_t keep = kPacketBytes * (kSyncPackets - 1);
        if (sync->HuntCount > keep) {
            std::memmove(sync->Hunt, sync->Hunt + sync->HuntCount - keep, keep);
            sync->HuntCount = keep;
        }
        return taken;
    }
    sync->Synchronised = sync->EverSynchronised = true;
    size_t offset = at;
    while (sync->HuntCount - offset >= kPacketBytes && sync->Hunt[offset] == kSyncByte) {
        sink(context, sync->Hunt + offset);
        offset += kPacketBytes;
    }
    // The window holds at most kSyncPackets packets, so what is left is the
    // start of the packet after the run (its first byte a sync), or nothing.
    sync->CarryCount = sync->HuntCount - offset;
    std::memcpy(sync->Carry, sync->Hunt + offset, sync->CarryCount);
    sync->HuntCount = 0;
    return taken;
}

void LoseSync(PacketSync* sync) {
    sync->Synchronised = false;
    sync->HuntCount = 0;
    sync->CarryCount = 0;
    ++sync->SyncLosses;
}

}  // namespace

uint32_t Crc32Mpeg2(const uint8_t* bytes, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) crc = (crc << 8) ^ kCrcTable.Entries[((crc >> 24) ^ bytes[i]) & 0xFF];
    return crc;
}

void ResetPacketSync(PacketSync* sync) {
    sync->Synchronised = false;
    sync->EverSynchronised = false;
    sync->SyncLosses = 0;
    sync->HuntCount = 0;
    sync->CarryCount = 0;
}

void FeedPackets(PacketSync* sync, const uint8_t* bytes, size_t count, PacketSink sink, void* context) {
    while (count > 0) {
        if (!sync->Synchronised) {
            const size_t taken = Hunt(sync, bytes, count, sink, context);
            bytes += taken;
            count -= taken;
            continue;
        }
        if (sync->CarryCount > 0) {
            const size_t want = kPacketBytes - sync->CarryCount;
            const size_t taken = count < want ? count : want;
            std::memcpy(sync->Carry + sync->CarryCount, bytes, taken);
            sync->CarryCount += taken;
            bytes += taken;
            count -= taken;
            if (sync->CarryCount < kPacketBytes) return;
            sync->CarryCount = 0;
            sink(context, sync->Carry);
            continue;
        }
        // The hot path: whole packets straight from the caller's bytes.
        while (count >= kPacketBytes && bytes[0] == kSyncByte) {
            sink(context, bytes);
            bytes += kPacketBytes;
            count -= kPacketBytes;
        }
        if (count == 0) return;
        if (bytes[0] != kSyncByte) {
            LoseSync(sync);  // these bytes are hunted through again
            continue;
        }
        std::memcpy(sync->Carry, bytes, count);
        sync->CarryCount = count;
        return;
    }
}

uint16_t PacketPid(const uint8_t* packet) {
    return static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}

void ResetSectionAssembly(SectionAssembly* assembly) {
    assembly->LastContinuity = -1;
    assembly->Collecting = false;
    assembly->Have = 0;
    assembly->Need = 0;
}

namespace {

// Appends up to count bytes of the section being collected; returns how many
// it took. A section complete and sound goes to sink; a length no table here
// can have ends the collecting and takes every byte offered.
size_t CollectSection(SectionAssembly* assembly, const uint8_t* bytes, size_t count, SectionSink sink,
                      void* context) {
    size_t taken = 0;
    if (assembly->Need == 0) {
        while (assembly->Have < 3 && taken < count) assembly->Bytes[assembly->Have++] = bytes[taken++];
        if (assembly->Have < 3) return taken;
        assembly->Need = 3 + static_cast<size_t>(((assembly->Bytes[1] & 0x0F) << 8) | assembly->Bytes[2]);
        if (assembly->Need > kMaxSectionBytes) {
            assembly->Collecting = false;
            return count;
        }
    }
    const size_t want = assembly->Need - assembly->Have;
    const size_t now = count - taken < want ? count - taken : want;
    std::memcpy(assembly->Bytes + assembly->Have, bytes + taken, now);
    assembly->Have += now;
    taken += now;
    if (assembly->Have == assembly->Need) {
        assembly->Collecting = false;
        if (Crc32Mpeg2(assembly->Bytes, assembly->Have) == 0) sink(context, assembly->Bytes, assembly->Have);
    }
    return taken;
}

void StartSection(SectionAssembly* assembly) {
    assembly->Collecting = true;
    assembly->Have = 0;
    assembly->Need = 0;
}

// The packet's payload: after the header and any adaptation field. False for
// a packet without one, or whose adaptation field runs past the packet.
bool PacketPayload(const uint8_t* packet, const uint8_t** payload, size_t* length) {
    const int control = (packet[3] >> 4) & 3;
    if ((control & 1) == 0) return false;
    size_t start = 4;
    if (control & 2) start += 1 + packet[4];
    if (start >= kPacketBytes) return false;
    *payload = packet + start;
    *length = kPacketBytes - start;
    return true;
}

// The continuity counter: false for a repeated packet (sent twice on
// purpose, read once); a gap ends the partial section.
bool TakeContinuity(SectionAssembly* assembly, const uint8_t* packet) {
    const int counter = packet[3] & 0x0F;
    if (counter == assembly->LastContinuity) return false;
    if (assembly->LastContinuity >= 0 && counter != ((assembly->LastContinuity + 1) & 0x0F))
        assembly->Collecting = false;
    assembly->LastContinuity = counter;
    return true;
}

}  // namespace

void AssembleSections(SectionAssembly* assembly, const uint8_t* packet, SectionSink sink, void* context) {
    if (packet[1] & 0x80) {  // transport_error_indicator: the packet cannot be trusted
        assembly->Collecting = false;
        return;
    }
    const uint8_t* payload;
    size_t length;
    if (!PacketPayload(packet, &payload, &length)) return;
    if (!TakeContinuity(assembly, packet)) return;
    const bool unitStart = (packet[1] & 0x40) != 0;
    if (!unitStart) {
        if (assembly->Collecting) CollectSection(assembly, payload, length, sink, context);
        return;
    }
    const size_t pointer = payload[0];
    ++payload;
    --length;
    if (pointer > length) {
        assembly->Collecting = false;
        return;
    }
    // The end of the section the previous packets began; it must end where
    // the pointer says the next one starts.
    if (assembly->Collecting) {
        CollectSection(assembly, payload, pointer, sink, context);
        assembly->Collecting = false;
    }
    payload += pointer;
    length -= pointer;
    while (length > 0 && payload[0] != 0xFF) {  // 0xFF: stuffing to the packet's end
        StartSection(assembly);
        const size_t taken = CollectSection(assembly, payload, length, sink, context);
        payload += taken;
        length -= taken;
    }
}
