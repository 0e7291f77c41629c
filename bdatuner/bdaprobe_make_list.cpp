#include "bdatuner/bdaprobe_make_list.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <new>
#include <string>
#include <string_view>

#include "listmaker/list_report.h"
#include "listmaker/make_list.h"
#include "listmaker/xml_reader.h"
#include "listrenew/list_files.h"

namespace {

constexpr int kFailed = 2;

int Fail(const std::string& why) {
    std::fprintf(stderr, "bdaprobe: %s\n", why.c_str());
    return kFailed;
}

// The built-in list, embedded here as in the program.
std::string_view BuiltinList() {
    HRSRC found = FindResourceA(nullptr, "SATDATA", MAKEINTRESOURCEA(10));
    if (!found) return std::string_view();
    return std::string_view(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                            SizeofResource(nullptr, found));
}

int MakeList(const wchar_t* xmlPath, const wchar_t* outPath, bool report) {
    const std::string xmlName = Utf8Text(xmlPath), outName = Utf8Text(outPath);
    const std::string_view builtin = BuiltinList();
    std::string bytes, error;
    MadeList made;
    if (builtin.empty()) return Fail("the built-in list is missing from bdaprobe.exe");
    if (!ReadWholeFile(xmlPath, kXmlSizeLimit, &bytes, &error)) return Fail(xmlName + ": " + error);
    if (!MakeSatelliteList(bytes, builtin, kMaxListEntries, &made, &error)) return Fail(xmlName + ": " + error);
    if (!ReplaceFileWith(outPath, made.Text, &error)) return Fail(outName + ": " + error);
    std::printf("wrote %s: %lu entries, %lu bytes\n", outName.c_str(),
                static_cast<unsigned long>(made.Plan.Entries.size()), static_cast<unsigned long>(made.Text.size()));
    if (report) std::fputs(FormatListReport(made.Table, made.Builtin, made.Plan, made.Text).c_str(), stdout);
    return 0;
}

}  // namespace

int MakeListFromCommandLine() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const bool report = arguments && count == 5 && std::wcscmp(arguments[4], L"--report") == 0;
    int code = kFailed;
    try {
        if (arguments && (count == 4 || report)) code = MakeList(arguments[2], arguments[3], report);
        else std::fputs("Usage: bdaprobe --make-list SATELLITES_XML OUT_INI [--report]\n", stderr);
    } catch (const std::bad_alloc&) {
        code = Fail("not enough memory to make the list");
    }
    LocalFree(arguments);
    return code;
}
