// libFuzzer target: any bytes, fed whole and in slices of every size, must
// read the same identity, and what is read must be sound: a position within
// 180 degrees, names that are terminated UTF-8, counts within their arrays,
// transponders at the position. Inputs whose first byte is odd are read as
// sections instead, given their length and CRC and put in packets, so that
// the table readers see sections that pass the CRC.
#include <cstdint>
#include <cstring>

#include "identity/broadcast_identity.h"
#include "tests/native/broadcast_builder.h"

namespace {

void CheckText(const char* text, size_t size) {
    const void* end = std::memchr(text, '\0', size);
    if (!end) __builtin_trap();
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
    const uint8_t* stop = static_cast<const uint8_t*>(end);
    while (p < stop) {
        const int n = *p < 0x80 ? 1 : (*p & 0xE0) == 0xC0 ? 2 : (*p & 0xF0) == 0xE0 ? 3 : (*p & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || p + n > stop) __builtin_trap();
        if (n == 1 && *p < 0x20) __builtin_trap();  // control codes are left out
        for (int k = 1; k < n; ++k)
            if ((p[k] & 0xC0) != 0x80) __builtin_trap();
        p += n;
    }
}

void CheckSound(const BroadcastIdentity& id) {
    if (id.Position != kPositionUnknown && (id.Position < -1800 || id.Position > 1800)) __builtin_trap();
    if (id.ServiceCount < 0 || id.ServiceCount > kMaxIdentityServices) __builtin_trap();
    if (id.TransponderCount < 0 || id.TransponderCount > kMaxListedTransponders) __builtin_trap();
    if (id.Position == kPositionUnknown && id.TransponderCount != 0) __builtin_trap();
    if ((id.HaveNit || id.HaveSdt) && !id.Synchronised) __builtin_trap();
    if (id.Complete && !(id.HaveNit && id.HaveSdt)) __builtin_trap();  // both tables, of one stream
    CheckText(id.NetworkName, sizeof id.NetworkName);
    for (int i = 0; i < id.ServiceCount; ++i) CheckText(id.Services[i], sizeof id.Services[i]);
    for (int i = 0; i < id.TransponderCount; ++i) {
        const ListedTransponder& t = id.Transponders[i];
        if (t.Position < id.Position - 1 || t.Position > id.Position + 1) __builtin_trap();
        if (t.Polarisation != 'H' && t.Polarisation != 'V' && t.Polarisation != 'L' && t.Polarisation != 'R')
            __builtin_trap();
    }
}

bool Same(const BroadcastIdentity& a, const BroadcastIdentity& b) {
    if (a.Position != b.Position || a.Synchronised != b.Synchronised || a.Complete != b.Complete ||
        a.HaveNit != b.HaveNit || a.HaveSdt != b.HaveSdt || a.NetworkId != b.NetworkId ||
        a.TransportStreamId != b.TransportStreamId || a.OriginalNetworkId != b.OriginalNetworkId ||
        std::strcmp(a.NetworkName, b.NetworkName) != 0 || a.ServiceCount != b.ServiceCount ||
        a.TransponderCount != b.TransponderCount)
        return false;
    for (int i = 0; i < a.ServiceCount; ++i)
        if (std::strcmp(a.Services[i], b.Services[i]) != 0) return false;
    for (int i = 0; i < a.TransponderCount; ++i) {
        const ListedTransponder& s = a.Transponders[i];
        const ListedTransponder& t = b.Transponders[i];
        if (s.FrequencyKhz != t.FrequencyKhz || s.Polarisation != t.Polarisation || s.Position != t.Position ||
            s.SymbolRate != t.SymbolRate || s.TransportStreamId != t.TransportStreamId)
            return false;
    }
    return true;
}

// Records of a flags byte (bit 0: SDT rather than NIT; bit 1: the header as
// given rather than one the reader takes), a length byte (times four) and the
// section's bytes, its length field and CRC made right.
Bytes SectionStream(const uint8_t* data, size_t size) {
    Bytes stream = NullPackets(3);
    uint8_t continuity[2] = {};
    size_t at = 0;
    while (at + 2 < size) {
        const int pid = data[at] & 1;
        const bool rawHeader = (data[at] & 2) != 0;
        size_t length = 12 + data[at + 1] * 4u;  // a header and a CRC at least
        at += 2;
        if (length > size - at + 4) length = size - at + 4;
        if (length < 12) break;
        if (length > kMaxSectionBytes) length = kMaxSectionBytes;
        Bytes section(data + at, data + at + (length - 4));
        at += length - 4;
        if (!rawHeader) {
            section[0] = pid ? 0x42 : 0x40;
            section[1] |= 0x80;  // section_syntax_indicator
            section[5] |= 0x01;  // current
            if (section[6] > section[7]) section[6] = section[7];
        }
        section[1] = static_cast<uint8_t>((section[1] & 0xF0) | ((length - 3) >> 8));
        section[2] = static_cast<uint8_t>(length - 3);
        const uint32_t crc = Crc32Mpeg2(section.data(), section.size());
        for (int shift = 24; shift >= 0; shift -= 8) section.push_back(static_cast<uint8_t>(crc >> shift));
        const Bytes packets = Packetise(static_cast<uint16_t>(0x10 + pid), {section}, &continuity[pid]);
        stream.insert(stream.end(), packets.begin(), packets.end());
    }
    return stream;
}

void CheckStream(const uint8_t* data, size_t size) {
    static IdentityReaderPtr whole = CreateIdentityReader();
    static IdentityReaderPtr sliced = CreateIdentityReader();
    ResetIdentityReader(whole.get());
    ResetIdentityReader(sliced.get());
    FeedTransportStream(whole.get(), data, size);
    const BroadcastIdentity expected = ReadBroadcastIdentity(*whole);
    CheckSound(expected);
    // Slices of 1 to 400 bytes, their lengths drawn from the bytes themselves.
    uint32_t state = static_cast<uint32_t>(size) * 2654435761u + (size ? data[0] : 0);
    size_t at = 0;
    while (at < size) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        size_t n = 1 + state % 400;
        if (n > size - at) n = size - at;
        FeedTransportStream(sliced.get(), data + at, n);
        at += n;
        CheckSound(ReadBroadcastIdentity(*sliced));
    }
    if (!Same(expected, ReadBroadcastIdentity(*sliced))) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && (data[0] & 1) && data[0] != 0x47) {
        const Bytes stream = SectionStream(data + 1, size - 1);
        CheckStream(stream.data(), stream.size());
    } else {
        CheckStream(data, size);
    }
    return 0;
}
