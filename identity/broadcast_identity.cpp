#include "identity/broadcast_identity.h"

#include <cstring>
#include <new>

#include "identity/dvb_text.h"
#include "identity/ts_sections.h"

namespace {

constexpr uint16_t kNitPid = 0x10;
constexpr uint16_t kSdtPid = 0x11;
constexpr uint8_t kNitActual = 0x40;
constexpr uint8_t kSdtActual = 0x42;
constexpr uint8_t kNetworkNameTag = 0x40;
constexpr uint8_t kSatelliteDeliveryTag = 0x43;
constexpr uint8_t kServiceTag = 0x48;
// A satellite's NIT lists a few hundred transport streams at most.
constexpr int kMaxNitEntries = 512;
constexpr size_t kSectionHeader = 8;
constexpr size_t kCrcBytes = 4;

// Which sections of one version of a table have arrived.
struct TableProgress {
    bool Have = false;
    uint16_t Id = 0;  // table_id_extension: network id or transport stream id
    uint8_t Version = 0;
    uint8_t Last = 0;
    uint8_t Seen[32] = {};
};

}  // namespace

struct IdentityReader {
    PacketSync Sync;
    uint32_t SyncLosses = 0;  // the losses the assemblies have been told of
    SectionAssembly Nit;
    SectionAssembly Sdt;
    TableProgress NitProgress;
    TableProgress SdtProgress;
    // Whether a section of the table at hand came again after the other
    // table first arrived: for a NIT that does not list the stream it is
    // received with, the proof that both tables are that one stream's.
    bool NitAgain = false;
    bool SdtAgain = false;
    char NetworkName[kNetworkNameBytes] = {};
    int EntryCount = 0;
    ListedTransponder Entries[kMaxNitEntries];
    uint16_t OriginalNetworkId = 0;
    int ServiceCount = 0;
    uint8_t ServiceSection[kMaxIdentityServices] = {};
    char Services[kMaxIdentityServices][kServiceNameBytes] = {};
};

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
size_t Read12(const uint8_t* p) { return static_cast<size_t>(((p[0] & 0x0F) << 8) | p[1]); }

bool SectionSeen(const TableProgress& progress, uint8_t number) {
    return (progress.Seen[number >> 3] >> (number & 7)) & 1;
}

void MarkSection(TableProgress* progress, uint8_t number) {
    progress->Seen[number >> 3] = static_cast<uint8_t>(progress->Seen[number >> 3] | (1 << (number & 7)));
}

bool TableComplete(const TableProgress& progress) {
    if (!progress.Have) return false;
    for (int n = 0; n <= progress.Last; ++n)
        if (!SectionSeen(progress, static_cast<uint8_t>(n))) return false;
    return true;
}

enum class SectionNews { Broken, NewTable, More, Again };

// What a sound section of a table is: the first of a new table (another id,
// version or section count: what was read of the old one is dropped), one
// more of the table at hand, one already read, or one numbered past its last.
SectionNews JudgeSection(TableProgress* progress, const uint8_t* section) {
    const uint16_t id = Read16(section + 3);
    const uint8_t version = (section[5] >> 1) & 0x1F;
    const uint8_t number = section[6];
    const uint8_t last = section[7];
    if (number > last) return SectionNews::Broken;
    if (progress->Have && progress->Id == id && progress->Version == version && progress->Last == last)
        return SectionSeen(*progress, number) ? SectionNews::Again : SectionNews::More;
    *progress = TableProgress{};
    progress->Have = true;
    progress->Id = id;
    progress->Version = version;
    progress->Last = last;
    return SectionNews::NewTable;
}

// The common checks of a NIT or SDT section: the long form, the current
// table, long enough for its header and CRC.
bool SoundTableSection(const uint8_t* section, size_t length, uint8_t tableId) {
    return length >= kSectionHeader + kCrcBytes && section[0] == tableId && (section[1] & 0x80) &&
           (section[5] & 0x01);
}

// BCD digits, most significant first, from the high nibble of bytes[0];
// false if any nibble is not a decimal digit.
bool ReadBcd(const uint8_t* bytes, int digits, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const uint8_t nibble = (i & 1) ? (bytes[i / 2] & 0x0F) : (bytes[i / 2] >> 4);
        if (nibble > 9) return false;
        v = v * 10 + nibble;
    }
    *value = v;
    return true;
}

// A satellite delivery system descriptor's body (11 bytes). Other networks
// reuse the tag: a wrong length, a digit that is no BCD digit, a position
// beyond 180 degrees or a zero frequency is not taken for one.
bool ParseSatelliteDelivery(const uint8_t* body, size_t length, ListedTransponder* t) {
    if (length != 11) return false;
    uint32_t frequency, position, symbolRate;
    if (!ReadBcd(body, 8, &frequency) || !ReadBcd(body + 4, 4, &position) || !ReadBcd(body + 7, 7, &symbolRate))
        return false;
    if (position > 1800 || frequency == 0) return false;
    const uint8_t flags = body[6];
    const int tenths = static_cast<int>(position);
    t->Position = static_cast<int16_t>((flags & 0x80) ? tenths : -tenths);
    t->FrequencyKhz = frequency * 10;
    t->Polarisation = "HVLR"[(flags >> 5) & 3];
    t->DvbS2 = (flags & 0x04) != 0;
    t->RollOff = t->DvbS2 ? (flags >> 3) & 0x03 : 0;
    t->Modulation = flags & 0x03;
    t->SymbolRate = symbolRate * 100;
    return true;
}

// Walks a descriptor loop; false if a descriptor runs past its end.
template <typename Visit>
bool WalkDescriptors(const uint8_t* loop, size_t length, Visit visit) {
    size_t i = 0;
    while (i < length) {
        if (length - i < 2 || loop[i + 1] > length - i - 2) return false;
        visit(loop[i], loop + i + 2, static_cast<size_t>(loop[i + 1]));
        i += 2 + loop[i + 1];
    }
    return true;
}

void AddEntry(IdentityReader* reader, uint16_t streamId, uint16_t networkId, const uint8_t* body, size_t length) {
    ListedTransponder t;
    if (reader->EntryCount >= kMaxNitEntries || !ParseSatelliteDelivery(body, length, &t)) return;
    t.TransportStreamId = streamId;
    t.OriginalNetworkId = networkId;
    reader->Entries[reader->EntryCount++] = t;
}

// Walks a NIT section's loops: the network's descriptors, then each
// transport stream's. With reader null it only checks that every loop
// fits, so that a malformed section changes nothing.
bool WalkNit(IdentityReader* reader, const uint8_t* section, size_t length) {
    const size_t end = length - kCrcBytes;
    size_t i = kSectionHeader;
    if (end - i < 2 || Read12(section + i) > end - i - 2) return false;
    const size_t networkLength = Read12(section + i);
    i += 2;
    const bool networkFits = WalkDescriptors(section + i, networkLength, [&](uint8_t tag, const uint8_t* body, size_t n) {
        if (reader && tag == kNetworkNameTag && reader->NetworkName[0] == '\0')
            DecodeDvbText(body, n, reader->NetworkName, sizeof reader->NetworkName);
    });
    if (!networkFits) return false;
    i += networkLength;
    if (end - i < 2 || Read12(section + i) > end - i - 2) return false;
    const size_t streamsEnd = i + 2 + Read12(section + i);
    i += 2;
    while (i < streamsEnd) {
        if (streamsEnd - i < 6 || Read12(section + i + 4) > streamsEnd - i - 6) return false;
        const uint16_t streamId = Read16(section + i);
        const uint16_t networkId = Read16(section + i + 2);
        const size_t n = Read12(section + i + 4);
        i += 6;
        const bool fits = WalkDescriptors(section + i, n, [&](uint8_t tag, const uint8_t* body, size_t size) {
            if (reader && tag == kSatelliteDeliveryTag) AddEntry(reader, streamId, networkId, body, size);
        });
        if (!fits) return false;
        i += n;
    }
    return true;
}

// What both tables said: another transport stream is being received.
void ForgetTables(IdentityReader* reader) {
    reader->NitProgress = TableProgress{};
    reader->SdtProgress = TableProgress{};
    reader->NitAgain = reader->SdtAgain = false;
    reader->NetworkName[0] = '\0';
    reader->EntryCount = 0;
    reader->OriginalNetworkId = 0;
    reader->ServiceCount = 0;
}

// A NIT of another network, or an SDT of another transport stream, than the
// one read so far: the stream has changed under the same tune (the dish
// moved to another satellite while the lock held). Two streams' tables are
// never combined: the old stream's, both of them, end here.
void ForgetAnotherStream(IdentityReader* reader, const uint8_t* section, uint8_t tableId) {
    const uint16_t id = Read16(section + 3);
    const bool another = tableId == kNitActual
                             ? reader->NitProgress.Have && id != reader->NitProgress.Id
                             : reader->SdtProgress.Have && (id != reader->SdtProgress.Id ||
                                                            Read16(section + kSectionHeader) != reader->OriginalNetworkId);
    if (another) ForgetTables(reader);
}

// A section of one table has been judged: a new table must be seen again,
// and so must the other one after it; any other sound section of the table at
// hand, arriving while the other table is held, is this table come again.
void NoteArrival(bool* again, bool* otherAgain, bool otherHeld, SectionNews news) {
    if (news == SectionNews::NewTable) *again = *otherAgain = false;
    else if (news != SectionNews::Broken && otherHeld) *again = true;
}

void TakeNitSection(IdentityReader* reader, const uint8_t* section, size_t length) {
    if (!SoundTableSection(section, length, kNitActual) || !WalkNit(nullptr, section, length)) return;
    ForgetAnotherStream(reader, section, kNitActual);
    const SectionNews news = JudgeSection(&reader->NitProgress, section);
    NoteArrival(&reader->NitAgain, &reader->SdtAgain, reader->SdtProgress.Have, news);
    if (news == SectionNews::Broken || news == SectionNews::Again) return;
    if (news == SectionNews::NewTable) {
        reader->NetworkName[0] = '\0';
        reader->EntryCount = 0;
    }
    WalkNit(reader, section, length);
    MarkSection(&reader->NitProgress, section[6]);
}

// Keeps the first services in section order: a name from a later section
// goes after those of earlier ones, whichever arrived first.
void AddService(IdentityReader* reader, const uint8_t* body, size_t length, uint8_t number) {
    if (length < 3 || body[1] > length - 3) return;
    const size_t nameAt = 2 + body[1];
    const size_t nameLength = body[nameAt];
    if (nameLength > length - nameAt - 1) return;
    char name[kServiceNameBytes];
    if (DecodeDvbText(body + nameAt + 1, nameLength, name, sizeof name) == 0) return;
    int at = 0;
    while (at < reader->ServiceCount && reader->ServiceSection[at] <= number) ++at;
    if (at >= kMaxIdentityServices) return;
    const int last = reader->ServiceCount < kMaxIdentityServices ? reader->ServiceCount : kMaxIdentityServices - 1;
    for (int k = last; k > at; --k) {
        reader->ServiceSection[k] = reader->ServiceSection[k - 1];
        std::memcpy(reader->Services[k], reader->Services[k - 1], kServiceNameBytes);
    }
    reader->ServiceSection[at] = number;
    std::memcpy(reader->Services[at], name, kServiceNameBytes);
    if (reader->ServiceCount < kMaxIdentityServices) ++reader->ServiceCount;
}

// Walks an SDT section's services, as WalkNit does a NIT's.
bool WalkSdt(IdentityReader* reader, const uint8_t* section, size_t length) {
    const size_t end = length - kCrcBytes;
    size_t i = kSectionHeader + 3;  // original_network_id, reserved
    if (i > end) return false;
    while (i < end) {
        if (end - i < 5 || Read12(section + i + 3) > end - i - 5) return false;
        const size_t n = Read12(section + i + 3);
        i += 5;
        const bool fits = WalkDescriptors(section + i, n, [&](uint8_t tag, const uint8_t* body, size_t size) {
            if (reader && tag == kServiceTag) AddService(reader, body, size, section[6]);
        });
        if (!fits) return false;
        i += n;
    }
    return true;
}

void TakeSdtSection(IdentityReader* reader, const uint8_t* section, size_t length) {
    if (!SoundTableSection(section, length, kSdtActual) || !WalkSdt(nullptr, section, length)) return;
    ForgetAnotherStream(reader, section, kSdtActual);
    const SectionNews news = JudgeSection(&reader->SdtProgress, section);
    NoteArrival(&reader->SdtAgain, &reader->NitAgain, reader->NitProgress.Have, news);
    if (news == SectionNews::Broken || news == SectionNews::Again) return;
    if (news == SectionNews::NewTable) {
        reader->OriginalNetworkId = Read16(section + kSectionHeader);
        reader->ServiceCount = 0;
    }
    WalkSdt(reader, section, length);
    MarkSection(&reader->SdtProgress, section[6]);
}

void TakeNitPidSection(void* context, const uint8_t* section, size_t length) {
    TakeNitSection(static_cast<IdentityReader*>(context), section, length);
}

void TakeSdtPidSection(void* context, const uint8_t* section, size_t length) {
    TakeSdtSection(static_cast<IdentityReader*>(context), section, length);
}

// Every packet passes here: all but the two tables' PIDs leave at once.
void TakePacket(void* context, const uint8_t* packet) {
    IdentityReader* reader = static_cast<IdentityReader*>(context);
    const uint16_t pid = PacketPid(packet);
    if (pid != kNitPid && pid != kSdtPid) return;
    if (reader->SyncLosses != reader->Sync.SyncLosses) {  // bytes were lost: no partial section survives
        reader->SyncLosses = reader->Sync.SyncLosses;
        ResetSectionAssembly(&reader->Nit);
        ResetSectionAssembly(&reader->Sdt);
    }
    if (pid == kNitPid) AssembleSections(&reader->Nit, packet, TakeNitPidSection, reader);
    else AssembleSections(&reader->Sdt, packet, TakeSdtPidSection, reader);
}

// The position every satellite delivery descriptor of the NIT gives, within
// a tenth of a degree (some networks give 13.0 for one transponder, 13.1 for
// another on the same satellite): the commoner of the two; unknown when
// they differ by more or there is none.
int16_t AgreedPosition(const IdentityReader& reader) {
    if (reader.EntryCount == 0) return kPositionUnknown;
    int16_t low = reader.Entries[0].Position, high = low;
    for (int i = 1; i < reader.EntryCount; ++i) {
        const int16_t p = reader.Entries[i].Position;
        if (p < low) low = p;
        if (p > high) high = p;
    }
    if (high - low > 1) return kPositionUnknown;
    int lows = 0;
    for (int i = 0; i < reader.EntryCount; ++i) lows += reader.Entries[i].Position == low;
    return lows * 2 >= reader.EntryCount ? low : high;
}

// Whether the SDT actual names its stream at all; the network id 0 is no
// registered network's, so it names nothing.
bool SdtNamesItsStream(const IdentityReader& reader) {
    return reader.SdtProgress.Have && reader.OriginalNetworkId != 0;
}

// Whether a NIT entry carries the ids of the stream the SDT actual names
// (SdtNamesItsStream first).
bool IsSdtStream(const IdentityReader& reader, const ListedTransponder& t) {
    return t.TransportStreamId == reader.SdtProgress.Id && t.OriginalNetworkId == reader.OriginalNetworkId;
}

// The position the NIT gives the stream being received, named by the SDT
// actual's ids. Unknown when it is not listed or listed at two places.
int16_t ReceivedPosition(const IdentityReader& reader) {
    int16_t position = kPositionUnknown;
    if (!SdtNamesItsStream(reader)) return position;
    for (int i = 0; i < reader.EntryCount; ++i) {
        const ListedTransponder& t = reader.Entries[i];
        if (!IsSdtStream(reader, t)) continue;
        if (position != kPositionUnknown && position != t.Position) return kPositionUnknown;
        position = t.Position;
    }
    return position;
}

// Whether the NIT and the SDT held are known to be one transport stream's:
// the NIT lists the stream the SDT names, or else each has come again since
// the other first arrived (a NIT need not list its own stream). Until then
// either may be what is left of a stream received before (a lock that held
// while the dish turned, a NIT read just before the stream changed), and
// the two must not be combined.
bool TablesOfOneStream(const IdentityReader& reader) {
    if (!reader.NitProgress.Have || !reader.SdtProgress.Have) return false;
    if (reader.NitAgain && reader.SdtAgain) return true;
    if (!SdtNamesItsStream(reader)) return false;
    for (int i = 0; i < reader.EntryCount; ++i)
        if (IsSdtStream(reader, reader.Entries[i])) return true;
    return false;
}

// A NIT alone names its satellite by all its descriptors; with an SDT, only
// once both are known to be of one stream (oneStream: TablesOfOneStream), by
// the SDT's stream first.
int16_t StreamPosition(const IdentityReader& reader, bool oneStream) {
    if (!reader.SdtProgress.Have) return AgreedPosition(reader);
    if (!oneStream) return kPositionUnknown;
    const int16_t received = ReceivedPosition(reader);
    return received != kPositionUnknown ? received : AgreedPosition(reader);
}

// The transponders listed at the position (within the tenth the rule
// allows), each frequency and polarisation once.
void ListTransponders(const IdentityReader& reader, BroadcastIdentity* identity) {
    for (int i = 0; i < reader.EntryCount && identity->TransponderCount < kMaxListedTransponders; ++i) {
        const ListedTransponder& t = reader.Entries[i];
        if (t.Position < identity->Position - 1 || t.Position > identity->Position + 1) continue;
        bool listed = false;
        for (int k = 0; k < identity->TransponderCount && !listed; ++k)
            listed = identity->Transponders[k].FrequencyKhz == t.FrequencyKhz &&
                     identity->Transponders[k].Polarisation == t.Polarisation;
        if (!listed) identity->Transponders[identity->TransponderCount++] = t;
    }
}

}  // namespace

void IdentityReaderDeleter::operator()(IdentityReader* reader) const { delete reader; }

IdentityReaderPtr CreateIdentityReader() {
    IdentityReaderPtr reader(new (std::nothrow) IdentityReader);
    if (reader) ResetIdentityReader(reader.get());
    return reader;
}

void ResetIdentityReader(IdentityReader* reader) {
    ResetPacketSync(&reader->Sync);
    reader->SyncLosses = 0;
    ResetSectionAssembly(&reader->Nit);
    ResetSectionAssembly(&reader->Sdt);
    ForgetTables(reader);
}

void FeedTransportStream(IdentityReader* reader, const uint8_t* bytes, size_t count) {
    FeedPackets(&reader->Sync, bytes, count, TakePacket, reader);
}

BroadcastIdentity ReadBroadcastIdentity(const IdentityReader& reader) {
    BroadcastIdentity identity;
    // Once per read: it walks the NIT's entries while the card's delivery
    // thread waits for the reader.
    const bool oneStream = TablesOfOneStream(reader);
    identity.Synchronised = reader.Sync.EverSynchronised;
    identity.HaveNit = reader.NitProgress.Have;
    identity.HaveSdt = reader.SdtProgress.Have;
    identity.Complete = TableComplete(reader.NitProgress) && TableComplete(reader.SdtProgress) && oneStream;
    if (identity.HaveNit) {
        identity.NetworkId = reader.NitProgress.Id;
        std::memcpy(identity.NetworkName, reader.NetworkName, kNetworkNameBytes);
    }
    if (identity.HaveSdt) {
        identity.TransportStreamId = reader.SdtProgress.Id;
        identity.OriginalNetworkId = reader.OriginalNetworkId;
        identity.ServiceCount = reader.ServiceCount;
        std::memcpy(identity.Services, reader.Services, sizeof identity.Services);
    }
    identity.Position = StreamPosition(reader, oneStream);
    if (identity.Position != kPositionUnknown) ListTransponders(reader, &identity);
    return identity;
}

