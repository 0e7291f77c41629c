// The program's side and ZentrikList.dll's side of renewing the satellite
// list from a satellites.xml. The DLL holds the XML reading and the list
// making, which would take the program past its size (they use the C++
// library's containers); the program loads it only when a file is dropped on
// its window or named with /list:PATH, so without either it behaves and
// loads as before.
#pragma once
#include <cstdint>

constexpr uint32_t kListRequestVersion = 1;

// What the program hands the DLL. A DLL that finds another version or a
// smaller record changes nothing.
struct ListRequest {
    uint32_t Version;
    uint32_t Size;
    void* Owner;  // the main window (HWND), owner of every message box shown
    const wchar_t* XmlPath;
    const uint8_t* BuiltinList;  // the program's built-in list (SATDATA)
    uint32_t BuiltinListSize;
};

// ListRenewed: satellite.ini in the working folder is the new list (the one
// it replaced kept beside it), so the drop-down must be filled again. Every
// refusal and failure has been told to the user; the list is then unchanged.
enum ListRenewal : int32_t { ListUnchanged = 0, ListRenewed = 1 };

using RenewSatelliteListFunction = int32_t (*)(const ListRequest* request);
constexpr char kListModuleName[] = "ZentrikList.dll";
constexpr char kRenewSatelliteListName[] = "RenewSatelliteList";
