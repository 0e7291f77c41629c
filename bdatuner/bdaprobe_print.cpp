#include "bdatuner/bdaprobe_print.h"

#include <cstdio>
#include <cwchar>

#include "bdatuner/bda_log.h"
#include "bdatuner/bda_signal.h"
#include "tuner/tuner_interface.h"

namespace {

constexpr int kClassKeyChars = 80;

// "tuner node 1", "receiver node 0", "network provider", or "-".
void SourceName(const BdaProbeReport& report, int from, char* text, size_t size) {
    if (from == kProviderStrength) {
        std::snprintf(text, size, "network provider");
    } else if (from >= 0 && from < report.Topology.NodeCount) {
        const BdaNodeFacts& node = report.Topology.Nodes[from];
        std::snprintf(text, size, "%s node %lu", node.Filter == 0 ? "tuner" : "receiver",
                      static_cast<unsigned long>(node.Type));
    } else {
        std::snprintf(text, size, "-");
    }
}

void PrintLink(const TopologyLink& link) {
    if (link.FromNode == kFilterEdge)
        std::printf(" pin %lu", static_cast<unsigned long>(link.FromPin));
    else
        std::printf(" node %lu", static_cast<unsigned long>(link.FromNode));
    if (link.ToNode == kFilterEdge)
        std::printf("->pin %lu", static_cast<unsigned long>(link.ToPin));
    else
        std::printf("->node %lu", static_cast<unsigned long>(link.ToNode));
}

void PrintNode(const BdaNodeFacts& node) {
    std::printf("    node %lu: ", static_cast<unsigned long>(node.Type));
    const char* name = NodeFunctionName(node.Function);
    if (name) {
        std::printf("%s", name);
    } else {
        wchar_t id[40];
        StringFromGUID2(node.Function, id, 40);
        std::printf("function %ls", id);
    }
    if (!node.Opened) {
        std::printf(", no pin pair opens it\n");
        return;
    }
    const char* offers = node.HasStatistics && node.HasDiseqc ? "signal statistics, DiSEqC"
                         : node.HasStatistics                  ? "signal statistics"
                         : node.HasDiseqc                      ? "DiSEqC"
                                                               : "neither signal statistics nor DiSEqC";
    std::printf(", opened at pins %lu->%lu: %s\n", static_cast<unsigned long>(node.Pins.In),
                static_cast<unsigned long>(node.Pins.Out), offers);
}

void PrintFilter(const BdaProbeReport& report, int which) {
    const BdaFilterFacts& filter = report.Topology.Filters[which];
    if (!filter.Present) return;
    std::printf("  %s ", which == 0 ? "tuner" : "receiver");
    PrintName(which == 0 ? report.Device.Name : report.ReceiverName);
    if (!filter.HasTopology) {
        std::printf(": no BDA topology\n");
        return;
    }
    std::printf("%s:\n    pin types:", filter.HasDeviceControl ? ", with change transactions" : "");
    for (int i = 0; i < filter.PinTypeCount; ++i)
        std::printf(" %lu", static_cast<unsigned long>(filter.PinTypes[i]));
    std::printf("%s\n    template connections:", filter.PinTypeCount ? "" : " none given");
    for (int i = 0; i < filter.LinkCount; ++i) PrintLink(filter.Links[i]);
    std::printf("%s\n", filter.LinkCount ? "" : " none given");
    for (int i = 0; i < report.Topology.NodeCount; ++i)
        if (report.Topology.Nodes[i].Filter == which) PrintNode(report.Topology.Nodes[i]);
}

// The class's in-process server under the root's Software\Classes; empty when none.
void ServerPath(HKEY root, wchar_t* path, DWORD chars) {
    wchar_t id[40], key[kClassKeyChars];
    StringFromGUID2(kTunerFilterClassId, id, 40);
    std::swprintf(key, kClassKeyChars, L"Software\\Classes\\CLSID\\%ls\\InprocServer32", id);
    DWORD size = chars * sizeof(wchar_t);
    if (RegGetValueW(root, key, nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) path[0] = 0;
}

}  // namespace

void PrintName(const wchar_t* name) {
    char text[kDevicePathChars * 4];
    UINT page = GetConsoleOutputCP();
    if (!WideCharToMultiByte(page ? page : CP_ACP, 0, name, -1, text, sizeof text, nullptr, nullptr)) {
        text[0] = '?';
        text[1] = 0;
    }
    std::printf("\"%s\"", text);
}

void PrintTunerEntry(int index, const BdaDeviceId& id, void*) {
    std::printf("  %d. ", index + 1);
    PrintName(id.Name);
    std::printf("\n     device path: ");
    if (id.Path[0])
        PrintName(id.Path);
    else
        std::printf("none given");
    std::printf("\n");
}

void NoteHiddenMakerFilter() {
    wchar_t user[MAX_PATH], machine[MAX_PATH];
    ServerPath(HKEY_CURRENT_USER, user, MAX_PATH);
    ServerPath(HKEY_LOCAL_MACHINE, machine, MAX_PATH);
    if (!user[0] || !machine[0] || lstrcmpiW(user, machine) == 0) return;
    std::printf("Note: two tuner filters are registered under Zentrik's tuner class id.\n  for this user: ");
    PrintName(user);
    std::printf("\n  for all users: ");
    PrintName(machine);
    std::printf("\n  Zentrik loads the one registered for this user. To use the other (a card\n"
                "  maker's filter), unregister the first: regsvr32 /u with its path.\n");
}

void PrintGraph(const BdaProbeReport& report) {
    std::printf("Graph: %s network provider -> tuner ", report.GenericProvider ? "generic" : "DVB-S");
    PrintName(report.Device.Name);
    if (report.ReceiverName[0]) {
        std::printf(" -> receiver ");
        PrintName(report.ReceiverName);
    }
    std::printf(report.HasDemux ? " -> MPEG-2 demultiplexer\n" : " (no MPEG-2 demultiplexer connected)\n");
    if (report.Device.Path[0]) {
        std::printf("  tuner device path: ");
        PrintName(report.Device.Path);
        std::printf("\n");
    }
    if (report.Warmed) std::printf("  the tuner connected only after a default tune request\n");
    for (int which = 0; which < kBdaFilters; ++which) PrintFilter(report, which);
}

const char* PortName(int32_t lnbSource) {
    static const char* const kPorts[] = {"none", "port A", "port B", "port C", "port D"};
    return lnbSource >= 0 && lnbSource <= 4 ? kPorts[lnbSource] : "?";
}

void PrintTuneRequest(const BdaProbeReport& report) {
    const BdaTuneRequest& r = report.Request;
    std::printf("Tune request: carrier %ld kHz, LNB oscillators %ld / %ld kHz, band switch %ld kHz, DiSEqC %s\n",
                static_cast<long>(r.CarrierKhz), static_cast<long>(r.LowOscillatorKhz),
                static_cast<long>(r.HighOscillatorKhz), static_cast<long>(r.SwitchKhz), PortName(r.LnbSource));
    if (report.Validated)
        std::printf("Validate: %s%s\n", LogResult(report.ValidateResult).Text,
                    FAILED(report.ValidateResult)
                        ? " (the network provider doubts the request; it was sent all the same)"
                        : "");
}

void PrintReadingHeader() {
    std::printf("   time  lock  strength                quality               Zentrik shows  modulation  read from\n");
}

void PrintReading(int second, const BdaProbeReport& report) {
    if (!report.Answered) {
        std::printf("%6ds  %s\n", second,
                    report.TimedOut ? "the driver did not answer the signal statistics in time"
                                    : "no signal statistics node of the card answered");
        std::fflush(stdout);
        return;
    }
    char strength[40] = "n/a", quality[40] = "n/a", lockFrom[40], levelFrom[40];
    if (report.Readings.HasStrength)
        std::snprintf(strength, sizeof strength, "%ld (%s)", static_cast<long>(report.Readings.Strength),
                      UnitName(report.Unit));
    if (report.Readings.HasQuality)
        std::snprintf(quality, sizeof quality, "%ld (%s)", static_cast<long>(report.Readings.Quality),
                      QualityPercent(report.Readings) == kNoPercent ? "unit unknown" : "percent");
    SourceName(report, report.LockFrom, lockFrom, sizeof lockFrom);
    SourceName(report, report.Readings.HasStrength ? report.StrengthFrom : report.QualityFrom, levelFrom,
               sizeof levelFrom);
    // Zentrik reads the level only while locked; otherwise it shows 00%.
    std::printf("%6ds  %-4s  %-22s  %-20s  %3ld%%           %-10s  lock: %s, level: %s\n", second,
                report.Locked ? "yes" : "no", strength, quality, static_cast<long>(report.Locked ? report.Level : 0),
                ModulationName(report.Request.Modulation), lockFrom, levelFrom);
    std::fflush(stdout);
}

void PrintModulationOutcome(const BdaProbeReport& report) {
    if (report.Modulation.DriverChooses)
        std::printf("Modulation: left to the driver (it refused a tune request that named one)\n");
    else if (report.Modulation.Locked)
        std::printf("Modulation: locked with %s\n", ModulationName(report.Modulation.Current));
    else
        std::printf("Modulation: no lock yet; QPSK and 8PSK are tried in turn\n");
}

void PrintFailure(const char* what, const BdaProbeReport& report) {
    std::printf("FAILED: %s\n", what);
    if (report.FailedStep)
        std::printf("  the bridge could not %s (HRESULT 0x%08lX)\n", report.FailedStep,
                    static_cast<unsigned long>(report.FailedResult));
    if (report.Device.Name[0]) {
        std::printf("  device: ");
        PrintName(report.Device.Name);
        std::printf("\n");
    }
}
