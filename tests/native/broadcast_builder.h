// Builds transport streams for the identity reader's tests: sections with
// their CRC, NIT and SDT bodies, and the packets that carry them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "identity/ts_sections.h"

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, unsigned v) {
    b->push_back(static_cast<uint8_t>(v >> 8));
    b->push_back(static_cast<uint8_t>(v));
}

// A long-form section: header, body, CRC.
inline Bytes MakeSection(uint8_t tableId, uint16_t id, uint8_t version, uint8_t number, uint8_t last,
                         const Bytes& body, bool current = true) {
    Bytes s{tableId};
    Put16(&s, 0xB000 | (5 + body.size() + 4));
    Put16(&s, id);
    s.push_back(static_cast<uint8_t>(0xC0 | (version << 1) | (current ? 1 : 0)));
    s.push_back(number);
    s.push_back(last);
    s.insert(s.end(), body.begin(), body.end());
    const uint32_t crc = Crc32Mpeg2(s.data(), s.size());
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<uint8_t>(crc >> shift));
    return s;
}

inline Bytes Descriptor(uint8_t tag, const Bytes& body) {
    Bytes d{tag, static_cast<uint8_t>(body.size())};
    d.insert(d.end(), body.begin(), body.end());
    return d;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

// A satellite delivery system descriptor: position in tenths (east
// positive), frequency in MHz, symbol rate in kS/s.
inline Bytes SatelliteDelivery(int position, int mhz, char polarisation = 'H', bool s2 = false,
                               int kiloSymbols = 27500) {
    const int tenths = position < 0 ? -position : position;
    const int pol = polarisation == 'V' ? 1 : polarisation == 'L' ? 2 : polarisation == 'R' ? 3 : 0;
    const long f = static_cast<long>(mhz) * 100;  // 10 kHz steps
    const long sr = static_cast<long>(kiloSymbols) * 10;  // 100 S/s steps
    return Descriptor(0x43, {Bcd(static_cast<int>(f / 1000000)), Bcd(static_cast<int>(f / 10000)),
                             Bcd(static_cast<int>(f / 100)), Bcd(static_cast<int>(f)), Bcd(tenths / 100),
                             Bcd(tenths), static_cast<uint8_t>((position >= 0 ? 0x80 : 0) | pol << 5 | (s2 ? 0x16 : 0x01)),
                             Bcd(static_cast<int>(sr / 100000)), Bcd(static_cast<int>(sr / 1000)),
                             Bcd(static_cast<int>(sr / 10)), static_cast<uint8_t>((Bcd(static_cast<int>(sr)) & 0xF0) | 0x03)});
}

struct Stream {
    uint16_t Id;
    uint16_t NetworkId;
    Bytes Descriptors;
};

inline Bytes NitBody(const Bytes& networkDescriptors, const std::vector<Stream>& streams) {
    Bytes b;
    Put16(&b, 0xF000 | networkDescriptors.size());
    b.insert(b.end(), networkDescriptors.begin(), networkDescriptors.end());
    Bytes loop;
    for (const Stream& s : streams) {
        Put16(&loop, s.Id);
        Put16(&loop, s.NetworkId);
        Put16(&loop, 0xF000 | s.Descriptors.size());
        loop.insert(loop.end(), s.Descriptors.begin(), s.Descriptors.end());
    }
    Put16(&b, 0xF000 | loop.size());
    b.insert(b.end(), loop.begin(), loop.end());
    return b;
}

inline Bytes NetworkName(const Bytes& name) { return Descriptor(0x40, name); }

inline Bytes ServiceDescriptor(const Bytes& name) {
    Bytes body{0x01, 0x00, static_cast<uint8_t>(name.size())};
    body.insert(body.end(), name.begin(), name.end());
    return Descriptor(0x48, body);
}

// The SDT's body after its header: original_network_id, then the services.
inline Bytes SdtBody(uint16_t networkId, const std::vector<Bytes>& names) {
    Bytes b;
    Put16(&b, networkId);
    b.push_back(0xFF);
    uint16_t serviceId = 100;
    for (const Bytes& name : names) {
        Put16(&b, serviceId++);
        b.push_back(0xFC);
        const Bytes d = ServiceDescriptor(name);
        Put16(&b, 0x8000 | d.size());
        b.insert(b.end(), d.begin(), d.end());
    }
    return b;
}

// Packets of pid carrying the sections back to back, the first section of
// each packet found through the pointer field; the last packet stuffed.
inline Bytes Packetise(uint16_t pid, const std::vector<Bytes>& sections, uint8_t* continuity) {
    Bytes payload;
    std::vector<size_t> starts;
    for (const Bytes& s : sections) {
        starts.push_back(payload.size());
        payload.insert(payload.end(), s.begin(), s.end());
    }
    Bytes out;
    size_t at = 0;
    while (at < payload.size()) {
        size_t next = SIZE_MAX;  // the first section starting in this packet
        bool startAtEnd = false;  // one would start at its last payload byte
        for (size_t s : starts) {
            if (s >= at && s < at + 183 && next == SIZE_MAX) next = s;
            if (s == at + 183) startAtEnd = true;
        }
        // A section starting at a packet's last byte has no pointer to it: a
        // one-byte adaptation field pushes it into the next packet.
        const bool adaptation = next == SIZE_MAX && startAtEnd;
        Bytes p{0x47, static_cast<uint8_t>((next != SIZE_MAX ? 0x40 : 0) | (pid >> 8)), static_cast<uint8_t>(pid),
                static_cast<uint8_t>((adaptation ? 0x30 : 0x10) | (*continuity & 0x0F))};
        ++*continuity;
        if (adaptation) p.push_back(0);
        if (next != SIZE_MAX) p.push_back(static_cast<uint8_t>(next - at));
        while (p.size() < kPacketBytes && at < payload.size()) p.push_back(payload[at++]);
        while (p.size() < kPacketBytes) p.push_back(0xFF);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes NullPackets(int n) {
    Bytes out;
    for (int i = 0; i < n; ++i) {
        Bytes p(kPacketBytes, 0xFF);
        p[0] = 0x47, p[1] = 0x1F, p[2] = 0xFF, p[3] = 0x10;
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
