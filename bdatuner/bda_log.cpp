#include "bdatuner/bda_log.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Long enough for a device path and the step around it; longer is cut.
constexpr int kLineBytes = 2048;

}  // namespace

// The text is UTF-8 (device names may be anything) and goes out as UTF-16,
// so the debugger shows the names as they are.
void BdaLog(const char* format, ...) {
    char line[kLineBytes];
    const int head = std::snprintf(line, sizeof line, "%s", kBdaLogPrefix);
    va_list args;
    va_start(args, format);
    const int body = std::vsnprintf(line + head, sizeof line - head - 1, format, args);
    va_end(args);
    int length = body < 0 ? head : head + body;
    if (length > static_cast<int>(sizeof line) - 2) length = static_cast<int>(sizeof line) - 2;
    line[length++] = '\n';
    line[length] = 0;
    wchar_t wide[kLineBytes];
    if (MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, kLineBytes) > 0)
        OutputDebugStringW(wide);
    else
        OutputDebugStringA(line);
}

BdaLogText LogName(const wchar_t* name) {
    BdaLogText text;
    if (!WideCharToMultiByte(CP_UTF8, 0, name, -1, text.Text, sizeof text.Text, nullptr, nullptr))
        std::snprintf(text.Text, sizeof text.Text, "?");
    return text;
}

BdaLogText LogResult(HRESULT result) {
    BdaLogText text;
    if (result == S_OK || result == S_FALSE)
        std::snprintf(text.Text, sizeof text.Text, "%s", result == S_OK ? "S_OK" : "S_FALSE");
    else
        std::snprintf(text.Text, sizeof text.Text, "HRESULT 0x%08lX", static_cast<unsigned long>(result));
    return text;
}
