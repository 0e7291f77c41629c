#include "identity/table_packets.h"

#include "identity/broadcast_identity.h"

namespace {
constexpr size_t kPacketBytes = 188;
constexpr uint8_t kSyncByte = 0x47;
}  // namespace

size_t FeedTablePackets(IdentityReader* reader, const uint8_t* bytes, size_t count) {
    size_t at = 0, fed = 0;
    for (; at + kPacketBytes <= count && bytes[at] == kSyncByte; at += kPacketBytes) {
        const uint16_t pid = static_cast<uint16_t>(((bytes[at + 1] & 0x1F) << 8) | bytes[at + 2]);
        if (pid != kNitPid && pid != kSdtPid) continue;
        FeedTransportStream(reader, bytes + at, kPacketBytes);
        fed += kPacketBytes;
    }
    if (at < count) {
        FeedTransportStream(reader, bytes + at, count - at);
        fed += count - at;
    }
    return fed;
}
