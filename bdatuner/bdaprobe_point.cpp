#include "bdatuner/bdaprobe_point.h"

#include <windows.h>

#include <string>

#include "bdatuner/bdaprobe_identify.h"
#include "pointing/pointing_input.h"
#include "pointing/pointing_report.h"

int PointFromCommandLine(int count, const char* const* arguments) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    PointingDay today;
    const bool dated = MakePointingDay(now.wYear, now.wMonth, now.wDay, &today);
    PointRequest request;
    std::string error;
    if (!ReadPointArguments(count, arguments, dated ? &today : nullptr, &request, &error)) {
        // Nothing on standard output: a script reading it gets no wrong number.
        const std::string text = "bdaprobe --point: " + error +
                                 "\nUsage: bdaprobe --point LATITUDE LONGITUDE POSITION [--height METRES] "
                                 "[--date DATE] [--found POSITION]\n";
        WriteBytes(STD_ERROR_HANDLE, text.data(), text.size());
        return kPointBadInput;
    }
    std::string report;
    const int code = FormatPointReport(request, &report);
    WriteBytes(STD_OUTPUT_HANDLE, report.data(), report.size());
    return code;
}
