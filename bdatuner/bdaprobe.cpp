// bdaprobe: lists the BDA tuners, tunes one transponder through the same
// bridge and the same tuning sequence Zentrik uses and prints lock, strength,
// quality and Zentrik's level once a second, with what the bridge found of
// the card. What a user sends back when a card does not work.
#include <windows.h>
#include <wrl/client.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bdatuner/bda_tuner.h"
#include "bdatuner/bdaprobe_broadcast.h"
#include "bdatuner/bdaprobe_identify.h"
#include "bdatuner/bdaprobe_point.h"
#include "bdatuner/bdaprobe_make_list.h"
#include "bdatuner/bdaprobe_print.h"
#include "transponder/entry_line.h"
#include "tuner/tuning_sequence.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kReportPeriodMs = 1000;
constexpr int kStopCheckMs = 100;
volatile LONG g_stopRequested = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_stopRequested, 1);
    return TRUE;
}

void PrintUsage() {
    std::printf(
        "Usage: bdaprobe                         list the BDA tuners\n"
        "       bdaprobe TRANSPONDER [--seconds N]\n"
        "       bdaprobe --identify FILE        who a recording (.ts) says it comes from\n"
        "       bdaprobe --point LATITUDE LONGITUDE POSITION [--height METRES] [--date DATE] [--found POSITION]\n"
        "                                        where to point the dish\n"
        "       bdaprobe --make-list SATELLITES_XML OUT_INI [--report]\n"
        "                                        the satellite list made from an Enigma2 satellites.xml\n"
        "TRANSPONDER is typed as in Zentrik: MHz, H or V, ksym/s, DiSEqC letters,\n"
        "e.g. 12245H27500 or 11743V27500AB. Without --seconds it runs until Ctrl+C.\n");
}

int ListTuners() {
    std::printf("BDA tuners (KSCATEGORY_BDA_NETWORK_TUNER):\n");
    const HRESULT found = ListBdaTuners(PrintTunerEntry, nullptr);
    if (FAILED(found)) {
        std::printf("FAILED: could not list the BDA tuners (HRESULT 0x%08lX)\n",
                    static_cast<unsigned long>(found));
        return 1;
    }
    if (found == 0) std::printf("  none found\n");
    wchar_t wanted[kWantedDeviceChars];
    ReadWantedDevice(wanted);
    std::printf("Device setting (HKCU\\Software\\Zentrik\\BdaTuner, Device; a name or a device path): ");
    if (wanted[0])
        PrintName(wanted);
    else
        std::printf("not set, the first tuner a network provider accepts is used");
    std::printf("\n");
    NoteHiddenMakerFilter();
    return 0;
}

// The typed line, padded with spaces as the keypad leaves it.
bool ParseTransponder(const char* argument, Transponder* transponder) {
    char text[kEntryLength];
    std::memset(text, ' ', sizeof text);
    const size_t length = std::strlen(argument);
    if (length > sizeof text) return false;
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(argument[i])));
    char caption[32];
    return ParseEntryLineText(text, transponder, caption) == Accepted;
}

void DescribeTransponder(const char* typed, const Transponder& t) {
    std::printf("Transponder %s: %ld MHz, %s, %ld ksym/s, DiSEqC %s\n", typed, static_cast<long>(t.Frequency),
                t.Polarisation == 1 ? "vertical" : "horizontal", static_cast<long>(t.SymbolRate),
                PortName(LnbSourceFor(t.Diseqc)));
}

// The failing step as Zentrik would show it, and what the bridge says of it.
int Failure(const char* what, IBdaProbe* probe) {
    BdaProbeReport report;
    if (probe) probe->ReadReport(&report);
    PrintFailure(what, report);
    return 2;
}

void Measure(IBdaProbe* probe, int seconds) {
    // The bridge's view of the broadcast, printed beside the readings.
    BroadcastWatch broadcast;
    probe->QueryInterface(kBdaIdentityProbeInterfaceId, reinterpret_cast<void**>(broadcast.Probe.GetAddressOf()));
    std::printf("One line a second%s.\n", seconds > 0 ? "" : "; Ctrl+C ends");
    PrintReadingHeader();
    BdaProbeReport report;
    for (int second = 1; !g_stopRequested && (seconds <= 0 || second <= seconds); ++second) {
        probe->ReadReport(&report);
        PrintReading(second, report);
        PrintBroadcastNews(&broadcast);
        for (int waited = 0;
             waited < kReportPeriodMs && !g_stopRequested && (seconds <= 0 || second < seconds);
             waited += kStopCheckMs)
            Sleep(kStopCheckMs);
    }
    PrintModulationOutcome(report);
    PrintBroadcastOutcome(broadcast);
}

int TuneAndMeasure(ITunerControl* control, IBdaProbe* probe, const Transponder& t, int seconds) {
    const char* failed = ReadyTunerControl(control);
    if (failed) return Failure(failed, probe);
    BdaProbeReport report;
    probe->ReadReport(&report);
    PrintGraph(report);
    if ((failed = SetTransponder(control, t))) return Failure(failed, probe);
    probe->ReadReport(&report);
    PrintTuneRequest(report);
    Measure(probe, seconds);
    return 0;
}

int Probe(const char* typed, int seconds) {
    Transponder t;
    if (!ParseTransponder(typed, &t)) {
        std::printf("FAILED: \"%s\" is not a transponder as Zentrik takes it\n", typed);
        PrintUsage();
        return 1;
    }
    DescribeTransponder(typed, t);
    NoteHiddenMakerFilter();
    ComPtr<ITunerControl> control;
    ComPtr<IBdaProbe> probe;
    HRESULT result = CreateBdaTuner(kTunerControlInterfaceId, &control);
    if (SUCCEEDED(result)) result = control->QueryInterface(kBdaProbeInterfaceId, &probe);
    const int status = FAILED(result) ? Failure("create the bridge", nullptr)
                                      : TuneAndMeasure(control.Get(), probe.Get(), t, seconds);
    probe.Reset();
    control.Reset();  // the last reference: stops and tears down the graph
    std::printf("Released the tuner.\n");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--identify") == 0) return IdentifyFromCommandLine();
    if (argc >= 2 && std::strcmp(argv[1], "--point") == 0) return PointFromCommandLine(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "--make-list") == 0) return MakeListFromCommandLine();
    const char* transponder = nullptr;
    int seconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
            if (seconds <= 0) {
                PrintUsage();
                return 1;
            }
        } else if (argv[i][0] == '-' || transponder) {
            PrintUsage();
            return 1;
        } else {
            transponder = argv[i];
        }
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::printf("bdaprobe: Zentrik's check of a BDA DVB-S tuner\n");
    const int status = transponder ? Probe(transponder, seconds) : ListTuners();
    CoUninitialize();
    return status;
}
