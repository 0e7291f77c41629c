#include "bdatuner/bdaprobe_broadcast.h"

#include <cstdio>

namespace {

const char* ModulationName(const ListedTransponder& t) {
    switch (t.Modulation) {
    case 1: return "QPSK";
    case 2: return "8PSK";
    case 3: return "16QAM";
    default: return "auto";
    }
}

void PrintIdentity(const BroadcastIdentity& b) {
    char position[8];
    FormatPosition(b.Position, position);
    std::printf("Broadcast: the satellite at %s, network \"%s\" (network id %u)", position,
                b.NetworkName[0] ? b.NetworkName : "unnamed", static_cast<unsigned>(b.NetworkId));
    if (b.HaveSdt)
        std::printf(", transport stream %u of original network %u", static_cast<unsigned>(b.TransportStreamId),
                    static_cast<unsigned>(b.OriginalNetworkId));
    std::printf("\n");
}

void PrintTransponders(const BroadcastIdentity& b) {
    char position[8];
    FormatPosition(b.Position, position);
    std::printf("  transponders its NIT lists at %s (type one on Zentrik's keypad):\n", position);
    for (int i = 0; i < b.TransponderCount; ++i) {
        const ListedTransponder& t = b.Transponders[i];
        char line[16];
        KeypadLine(t, line);
        std::printf("    %-13s %-6s %-5s transport stream %u%s\n", line, t.DvbS2 ? "DVB-S2" : "DVB-S",
                    ModulationName(t), static_cast<unsigned>(t.TransportStreamId),
                    t.Polarisation == 'L' ? " (circular left)" : t.Polarisation == 'R' ? " (circular right)" : "");
    }
}

}  // namespace

// Circular polarisations go through the LNB's voltages as H (left) and V (right).
void KeypadLine(const ListedTransponder& t, char text[16]) {
    const char polarisation = (t.Polarisation == 'V' || t.Polarisation == 'R') ? 'V' : 'H';
    std::snprintf(text, 16, "%u%c%u", static_cast<unsigned>((t.FrequencyKhz + 500) / 1000), polarisation,
                  static_cast<unsigned>((t.SymbolRate + 500) / 1000));
}

void PrintBroadcastNews(BroadcastWatch* watch) {
    if (!watch->Probe) return;
    BroadcastIdentity b;
    if (FAILED(watch->Probe->ReadBroadcast(&b, &watch->StreamBytes)) || b.Position == kPositionUnknown) return;
    if (b.Position == watch->ShownPosition && b.TransponderCount == watch->ShownTransponders) return;
    watch->ShownPosition = b.Position;
    watch->ShownTransponders = b.TransponderCount;
    PrintIdentity(b);
    if (b.TransponderCount > 0) PrintTransponders(b);
    std::fflush(stdout);
}

void PrintBroadcastOutcome(const BroadcastWatch& watch) {
    if (!watch.Probe || watch.ShownPosition != kPositionUnknown) return;
    if (watch.StreamBytes == 0)
        std::printf("Broadcast: the card delivered no transport stream to read the satellite from\n");
    else
        std::printf("Broadcast: %llu bytes of transport stream, but no NIT with the satellite's position in them\n",
                    static_cast<unsigned long long>(watch.StreamBytes));
}
