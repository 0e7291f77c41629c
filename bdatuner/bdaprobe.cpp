// bdaprobe: lists the BDA tuners, tunes one transponder through the same
// bridge Zentrik uses and prints lock, strength, quality and Zentrik's level
// once a second. What a user sends back when a card does not work.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bdatuner/bda_tuner.h"
#include "transponder/entry_line.h"
#include "tuner/tuner_interface.h"

namespace {

constexpr int32_t kSearchFecCode = 6;  // the program's FEC code: let the driver search
constexpr int kReportPeriodMs = 1000;
constexpr int kStopCheckMs = 100;
volatile LONG g_stopRequested = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_stopRequested, 1);
    return TRUE;
}

void PrintName(const wchar_t* name) {
    char text[kDeviceNameChars * 4];
    UINT page = GetConsoleOutputCP();
    if (!WideCharToMultiByte(page ? page : CP_ACP, 0, name, -1, text, sizeof text, nullptr, nullptr)) {
        text[0] = '?';
        text[1] = 0;
    }
    std::printf("\"%s\"", text);
}

void PrintUsage() {
    std::printf(
        "Usage: bdaprobe                         list the BDA tuners\n"
        "       bdaprobe TRANSPONDER [--seconds N]\n"
        "TRANSPONDER is typed as in Zentrik: MHz, H or V, ksym/s, DiSEqC letters,\n"
        "e.g. 12245H27500 or 11743V27500AB. Without --seconds it runs until Ctrl+C.\n");
}

void PrintTuner(int index, const wchar_t* name, void*) {
    std::printf("  %d. ", index + 1);
    PrintName(name);
    std::printf("\n");
}

int ListTuners() {
    std::printf("BDA tuners (KSCATEGORY_BDA_NETWORK_TUNER):\n");
    const HRESULT found = ListBdaTuners(PrintTuner, nullptr);
    if (FAILED(found)) {
        std::printf("FAILED: could not list the BDA tuners (HRESULT 0x%08lX)\n",
                    static_cast<unsigned long>(found));
        return 1;
    }
    if (found == 0) std::printf("  none found\n");
    wchar_t wanted[kDeviceNameChars];
    ReadWantedDevice(wanted);
    std::printf("Device setting (HKCU\\Software\\Zentrik\\BdaTuner, Device): ");
    if (wanted[0])
        PrintName(wanted);
    else
        std::printf("not set, the first tuner a DVB-S network provider accepts is used");
    std::printf("\n");
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

int Failure(const char* what, HRESULT result, IBdaProbe* probe) {
    BdaProbeReport report;
    if (probe) probe->ReadReport(&report);
    std::printf("FAILED: %s (HRESULT 0x%08lX)\n", what, static_cast<unsigned long>(result));
    if (report.FailedStep)
        std::printf("  the bridge could not %s (HRESULT 0x%08lX)\n", report.FailedStep,
                    static_cast<unsigned long>(report.FailedResult));
    if (report.DeviceName[0]) {
        std::printf("  device: ");
        PrintName(report.DeviceName);
        std::printf("\n");
    }
    return 2;
}

// The calls Zentrik makes for one transponder, in its order; returns the
// method that failed, or null.
const char* TuneLikeZentrik(ITunerControl* control, const Transponder& t, HRESULT* result) {
    const bool highBand = InHighBand(t.Frequency);
    if (FAILED(*result = control->SetLnbSelection(highBand ? 1 : 0))) return "SetLnbSelection";
    *result = control->SetLnbFrequency((highBand ? kUniversalHighOscillatorKhz : kUniversalLowOscillatorKhz) /
                                       1000);
    if (SUCCEEDED(*result) && t.Frequency <= kCBandTop)
        *result = control->SetLnbFrequency(kCBandOscillatorKhz / 1000);
    if (FAILED(*result)) return "SetLnbFrequency";
    if (FAILED(*result = control->SetPolarity(t.Polarisation))) return "SetPolarity";
    if (FAILED(*result = control->SetSymbolRate(t.SymbolRate))) return "SetSymbolRate";
    if (FAILED(*result = control->SetTransponderFrequency(t.Frequency))) return "SetTransponderFrequency";
    if (FAILED(*result = control->SetDiseqc(t.Diseqc))) return "SetDiseqc, which sends the tune request";
    return nullptr;
}

void DescribeTransponder(const char* typed, const Transponder& t) {
    BdaTuneSettings settings;
    settings.FrequencyMhz = t.Frequency;
    settings.SymbolRateKsps = t.SymbolRate;
    settings.Polarisation = t.Polarisation;
    settings.Diseqc = t.Diseqc;
    const int64_t khz = static_cast<int64_t>(t.Frequency) * 1000;
    settings.LnbFrequencyMhz =
        (khz < kUniversalLowOscillatorKhz ? kCBandOscillatorKhz : kUniversalLowOscillatorKhz) / 1000;
    BdaTuneRequest request;
    MapTuneSettings(settings, &request);
    static const char* const kPorts[] = {"none", "port A", "port B", "port C", "port D"};
    std::printf("Transponder %s: %ld MHz, %s, %ld ksym/s, DiSEqC %s\n", typed, static_cast<long>(t.Frequency),
                t.Polarisation == 1 ? "vertical" : "horizontal", static_cast<long>(t.SymbolRate),
                kPorts[request.LnbSource]);
    std::printf("Tune request: carrier %ld kHz, LNB oscillators %ld / %ld kHz, band switch %ld kHz\n",
                static_cast<long>(request.CarrierKhz), static_cast<long>(request.LowOscillatorKhz),
                static_cast<long>(request.HighOscillatorKhz), static_cast<long>(request.SwitchKhz));
}

const char* UnitName(StrengthUnit unit) {
    switch (unit) {
    case StrengthUnit::Percent: return "percent";
    case StrengthUnit::Full16: return "of 65535";
    case StrengthUnit::MilliDecibel: return "mDb";
    default: return "unit unknown";
    }
}

void PrintReading(int second, const BdaProbeReport& report) {
    char strength[40] = "n/a", quality[16] = "n/a";
    if (report.Readings.HasStrength)
        std::snprintf(strength, sizeof strength, "%ld (%s)", static_cast<long>(report.Readings.Strength),
                      UnitName(report.Unit));
    if (report.Readings.HasQuality)
        std::snprintf(quality, sizeof quality, "%ld", static_cast<long>(report.Readings.Quality));
    if (!report.Answered) {
        std::printf("%6ds  no signal statistics node of the tuner answered\n", second);
    } else {
        // Zentrik reads the level only while locked; otherwise it shows 00%.
        std::printf("%6ds  %-4s  %-22s  %-7s  %3ld%%\n", second, report.Locked ? "yes" : "no", strength,
                    quality, static_cast<long>(report.Locked ? report.Level : 0));
    }
    std::fflush(stdout);
}

void Measure(IBdaProbe* probe, int seconds) {
    std::printf("One line a second%s.\n", seconds > 0 ? "" : "; Ctrl+C ends");
    std::printf("   time  lock  strength                quality  Zentrik shows\n");
    for (int second = 1; !g_stopRequested && (seconds <= 0 || second <= seconds); ++second) {
        BdaProbeReport report;
        probe->ReadReport(&report);
        PrintReading(second, report);
        for (int waited = 0;
             waited < kReportPeriodMs && !g_stopRequested && (seconds <= 0 || second < seconds);
             waited += kStopCheckMs)
            Sleep(kStopCheckMs);
    }
}

void PrintGraph(IBdaProbe* probe) {
    BdaProbeReport report;
    probe->ReadReport(&report);
    std::printf("Graph: DVB-S network provider -> tuner ");
    PrintName(report.DeviceName);
    if (report.ReceiverName[0]) {
        std::printf(" -> receiver ");
        PrintName(report.ReceiverName);
    }
    std::printf(report.HasDemux ? " -> MPEG-2 demultiplexer\n" : " (no MPEG-2 demultiplexer connected)\n");
}

int TuneAndMeasure(ITunerControl* control, IBdaProbe* probe, const Transponder& t, int seconds) {
    HRESULT result = control->InitializeControl();
    if (FAILED(result)) return Failure("InitializeControl", result, probe);
    PrintGraph(probe);
    if (FAILED(result = control->SetFec(kSearchFecCode))) return Failure("SetFec", result, probe);
    const char* failed = TuneLikeZentrik(control, t, &result);
    if (failed) return Failure(failed, result, probe);
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
    ITunerControl* control = nullptr;
    IBdaProbe* probe = nullptr;
    HRESULT result = CreateBdaTuner(kTunerControlInterfaceId, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(result))
        result = control->QueryInterface(kBdaProbeInterfaceId, reinterpret_cast<void**>(&probe));
    const int status = FAILED(result) ? Failure("create the bridge", result, nullptr)
                                      : TuneAndMeasure(control, probe, t, seconds);
    if (probe) probe->Release();
    if (control) control->Release();  // stops and tears down the graph
    std::printf("Released the tuner.\n");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
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
