// libFuzzer target: any bytes as a satellites.xml. Reading must never touch
// a byte outside them, and whatever list is made must be one the program
// reads back entry for entry, every entry in its ranges.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listmaker/list_line.h"
#include "listmaker/list_report.h"
#include "listmaker/make_list.h"
#include "transponder/satellite_list.h"

namespace {

const char kBuiltin[] =
    "[HotBird1-6   13.0e]=10723h29900;\r\n[AMC1   103.0w]=3740v29270;\r\n[Thor 2/3,Intelsat 707   1.0w]=3912v8022;\r\n\r\n";

void CountItem(void* context, const char*, size_t) { ++*static_cast<size_t*>(context); }

void CheckEntries(const std::string& text, size_t entries) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    size_t items = 0;
    ListSatelliteNames(bytes.data(), bytes.size(), CountItem, &items);
    if (items != entries) __builtin_trap();
    for (size_t k = 0; k < entries; ++k) {
        Transponder t{};
        char caption[32];
        if (ReadSatelliteEntryBytes(bytes.data(), bytes.size(), static_cast<int32_t>(k), &t, caption) != EntryOk)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<char> copy(data, data + size);  // exact size, so ASan sees overreads
    MadeList made;
    std::string error;
    if (!MakeSatelliteList(std::string_view(copy.data(), copy.size()), kBuiltin, kMaxListEntries, &made, &error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    if (made.Plan.Entries.empty() || made.Plan.Entries.size() > kMaxListEntries) __builtin_trap();
    CheckEntries(made.Text + ListOriginNote(made.Table.Date), made.Plan.Entries.size());
    const ListFigures figures = CountListFigures(made.Table, made.Plan, made.Text);
    if (figures.Present != figures.Entries) __builtin_trap();
    FormatListReport(made.Table, made.Builtin, made.Plan, made.Text);
    return 0;
}
