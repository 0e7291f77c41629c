#include "bdatuner/identity_report.h"

#include <cstdarg>
#include <cstring>

namespace {

struct Report {
    char* Text;
    size_t Size;
    size_t Length;
};

void Append(Report* report, const char* format, ...) {
    if (report->Length + 1 >= report->Size) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(report->Text + report->Length, report->Size - report->Length, format, args);
    va_end(args);
    if (n < 0) return;
    const size_t room = report->Size - report->Length - 1;
    report->Length += static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room;
}

void AppendServices(Report* report, const BroadcastIdentity& identity) {
    if (!identity.HaveSdt) {
        Append(report, "services: unknown\n");
        return;
    }
    if (identity.ServiceCount == 0) {
        Append(report, "services: none\n");
        return;
    }
    Append(report, "services: ");
    for (int i = 0; i < identity.ServiceCount; ++i) Append(report, i ? ", %s" : "%s", identity.Services[i]);
    Append(report, "\n");
}

}  // namespace

size_t FormatIdentityReport(const BroadcastIdentity& identity, char* text, size_t size) {
    if (size == 0) return 0;
    text[0] = '\0';
    Report report{text, size, 0};
    char position[8];
    FormatPosition(identity.Position, position);
    Append(&report, "position: %s\n", position);
    const bool named = identity.HaveNit && identity.NetworkName[0] != '\0';
    Append(&report, "network: %s\n", named ? identity.NetworkName : "unknown");
    if (identity.HaveNit) Append(&report, "network id: %u\n", static_cast<unsigned>(identity.NetworkId));
    else Append(&report, "network id: unknown\n");
    if (identity.HaveSdt)
        Append(&report, "transport stream: %u (original network %u)\n", static_cast<unsigned>(identity.TransportStreamId),
               static_cast<unsigned>(identity.OriginalNetworkId));
    else Append(&report, "transport stream: unknown\n");
    AppendServices(&report, identity);
    return report.Length;
}

int IdentifyExitCode(const BroadcastIdentity& identity) {
    if (!identity.Synchronised) return kIdentifyNoStream;
    return identity.Position != kPositionUnknown ? kIdentifyPosition : kIdentifyNoPosition;
}

BroadcastIdentity IdentifyStream(std::FILE* file, unsigned char* buffer, size_t chunkBytes) {
    IdentityReaderPtr reader = CreateIdentityReader();
    if (!reader) return BroadcastIdentity{};
    for (;;) {
        const size_t got = std::fread(buffer, 1, chunkBytes, file);
        if (got == 0) break;
        FeedTransportStream(reader.get(), buffer, got);
        // Both tables whole: the rest of a long recording adds nothing.
        if (ReadBroadcastIdentity(*reader).Complete) break;
    }
    return ReadBroadcastIdentity(*reader);
}
