// ZentrikList.dll: makes the satellite list from a satellites.xml the user
// dropped on the window or named with /list:PATH, asks before anything
// changes, keeps the present list beside the new one and writes the new one
// whole or not at all.
#include <windows.h>

#include <new>
#include <string>
#include <string_view>

#include "listmaker/make_list.h"
#include "listmaker/xml_reader.h"
#include "listrenew/list_files.h"
#include "listrenew/list_module.h"

namespace {

const wchar_t kListFile[] = L"satellite.ini";
const char kUnchanged[] = "\n\nYour satellite list is unchanged.";

void Tell(HWND owner, const std::string& text) {
    MessageBoxW(owner, WideText(text).c_str(), L"Attention!", MB_OK | MB_ICONEXCLAMATION);
}

// The file's date when it says it, the entries the list would hold, and
// where the present list would stay.
bool Ask(HWND owner, const std::wstring& file, const MadeList& made, const std::wstring& kept) {
    std::string text = "Make the satellite list from " + Utf8Text(file) + "?\n\n";
    text += made.Table.Date.empty() ? "The file does not say when its data was made."
                                    : "Its data was made on " + made.Table.Date + ".";
    text += "\nThe new list holds " + std::to_string(made.Plan.Entries.size()) + " entries.";
    if (!kept.empty()) text += "\n\nYour present list stays beside it as " + Utf8Text(kept) + ".";
    return MessageBoxW(owner, WideText(text).c_str(), L"Satellite list", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The present list copied first, so that it is never without a copy; a new
// list that cannot be written takes that copy back.
bool WriteList(HWND owner, const MadeList& made) {
    std::wstring kept;
    std::string error;
    const bool present = FileExists(kListFile);
    if ((!present || KeepDatedCopy(kListFile, &kept, &error)) &&
        ReplaceFileWith(kListFile, made.Text + ListOriginNote(made.Table.Date), &error))
        return true;
    if (!kept.empty()) RemoveFile(kept.c_str());
    Tell(owner, "The new satellite list was not written: " + error + kUnchanged);
    return false;
}

int32_t Renew(const ListRequest& request) {
    const HWND owner = static_cast<HWND>(request.Owner);
    const std::wstring file = FileNameOf(request.XmlPath);
    const std::string_view builtin(reinterpret_cast<const char*>(request.BuiltinList), request.BuiltinListSize);
    std::string bytes, error;
    MadeList made;
    if (!ReadWholeFile(request.XmlPath, kXmlSizeLimit, &bytes, &error) ||
        !MakeSatelliteList(bytes, builtin, kMaxListEntries, &made, &error)) {
        Tell(owner, Utf8Text(file) + " cannot make a satellite list:\n" + error + kUnchanged);
        return ListUnchanged;
    }
    std::string().swap(bytes);  // a table may have been 100 MB
    const std::wstring kept = FileExists(kListFile) ? DatedCopyName(kListFile) : std::wstring();
    if (!Ask(owner, file, made, kept)) return ListUnchanged;
    return WriteList(owner, made) ? ListRenewed : ListUnchanged;
}

}  // namespace

extern "C" __declspec(dllexport) int32_t RenewSatelliteList(const ListRequest* request) {
    if (!request || request->Version != kListRequestVersion || request->Size < sizeof(ListRequest) ||
        !request->XmlPath || !request->BuiltinList)
        return ListUnchanged;
    // Nothing may leave the DLL by an exception: the program is C++ without them.
    try {
        return Renew(*request);
    } catch (const std::bad_alloc&) {
        Tell(static_cast<HWND>(request->Owner), std::string("There is not enough memory to make it.") + kUnchanged);
    } catch (...) {
        Tell(static_cast<HWND>(request->Owner), std::string("The satellite list could not be made.") + kUnchanged);
    }
    return ListUnchanged;
}
