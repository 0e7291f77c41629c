#include "bdatuner/bdaprobe_identify.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "bdatuner/identity_report.h"

namespace {

// A recording is read a megabyte at a time: one may be gigabytes long.
constexpr size_t kChunkBytes = 1 << 20;
unsigned char g_chunk[kChunkBytes];

void WriteError(const char* what, const wchar_t* path) {
    char name[MAX_PATH * 3];
    const int n = WideCharToMultiByte(CP_UTF8, 0, path, -1, name, sizeof name, nullptr, nullptr);
    if (n <= 0) name[0] = '\0';
    char text[sizeof name + 64];
    const int length = std::snprintf(text, sizeof text, "bdaprobe: %s %s\n", what, name);
    if (length > 0) WriteBytes(STD_ERROR_HANDLE, text, std::strlen(text));
}

}  // namespace

// The bytes as they are: a console's code page would turn UTF-8 names into
// something else, and a pipe or file gets exactly these bytes.
void WriteBytes(DWORD handle, const char* text, size_t length) {
    const HANDLE out = GetStdHandle(handle);
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(out, text, static_cast<DWORD>(length), &written, nullptr) || written == 0) return;
        text += written;
        length -= written;
    }
}

int IdentifyRecordingFile(const wchar_t* path) {
    std::FILE* file = _wfopen(path, L"rb");
    if (!file) {
        WriteError("cannot open", path);
        return kIdentifyNoStream;
    }
    const BroadcastIdentity identity = IdentifyStream(file, g_chunk, kChunkBytes);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) WriteError("could not read all of", path);
    const int code = IdentifyExitCode(identity);
    if (code == kIdentifyNoStream) {
        WriteError("no transport stream (no packet sync) in", path);
        return code;
    }
    char report[kIdentityReportBytes];
    const size_t length = FormatIdentityReport(identity, report, sizeof report);
    WriteBytes(STD_OUTPUT_HANDLE, report, length);
    return code;
}

int IdentifyFromCommandLine() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    int code = kIdentifyNoStream;
    if (arguments && count == 3) {
        code = IdentifyRecordingFile(arguments[2]);
    } else {
        const char usage[] = "Usage: bdaprobe --identify FILE\n";
        WriteBytes(STD_ERROR_HANDLE, usage, sizeof usage - 1);
    }
    LocalFree(arguments);
    return code;
}
