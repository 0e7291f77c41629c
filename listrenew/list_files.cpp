#include "listrenew/list_files.h"

#include <windows.h>

namespace {

// Reads and writes go a megabyte at a time: a table may be 100 MB.
constexpr size_t kChunkBytes = 1 << 20;
// satellite-2026-09-01-999.ini at the most; past that a day's copies end.
constexpr int kMostCopies = 999;

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? "Windows error " + std::to_string(code) : Utf8Text(message);
}

bool Refuse(std::string* error, const char* what, DWORD code) {
    *error = std::string(what) + ": " + SystemMessage(code);
    return false;
}

bool ReadOpenFile(HANDLE file, size_t limit, std::string* bytes, std::string* error) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return Refuse(error, "its size cannot be read", GetLastError());
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        *error = "it is larger than " + std::to_string(limit / (1024 * 1024)) + " MB";
        return false;
    }
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes->size()) {
        const size_t left = bytes->size() - done;
        DWORD read = 0;
        if (!ReadFile(file, &(*bytes)[done], static_cast<DWORD>(left < kChunkBytes ? left : kChunkBytes), &read,
                      nullptr))
            return Refuse(error, "it cannot be read", GetLastError());
        if (read == 0) break;  // it got shorter meanwhile
        done += read;
    }
    bytes->resize(done);
    return true;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const size_t left = bytes.size() - done;
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(left < kChunkBytes ? left : kChunkBytes),
                       &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return FlushFileBuffers(file) != 0;
}

// The folder the file is in; "." for a bare name, the root itself for a file
// in a root.
std::wstring FolderOf(const wchar_t* path) {
    const std::wstring text(path);
    const size_t slash = text.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    if (slash == 0 || (slash == 2 && text[1] == L':')) return text.substr(0, slash + 1);
    return text.substr(0, slash);
}

std::wstring TwoDigits(int value) {
    return std::wstring(1, static_cast<wchar_t>(L'0' + value / 10)) + static_cast<wchar_t>(L'0' + value % 10);
}

std::wstring NumberedCopyName(const wchar_t* path, int number) {
    std::wstring stem(path);
    const size_t dot = stem.size() >= 4 ? stem.size() - 4 : 0;
    if (stem.size() >= 4 && _wcsicmp(stem.c_str() + dot, L".ini") == 0) stem.resize(dot);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return stem + L"-" + std::to_wstring(now.wYear) + L"-" + TwoDigits(now.wMonth) + L"-" + TwoDigits(now.wDay) +
           (number > 1 ? L"-" + std::to_wstring(number) : L"") + L".ini";
}

}  // namespace

bool ReadWholeFile(const wchar_t* path, size_t limit, std::string* bytes, std::string* error) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Refuse(error, "it cannot be opened", GetLastError());
    const bool read = ReadOpenFile(file, limit, bytes, error);
    CloseHandle(file);
    return read;
}

bool ReplaceFileWith(const wchar_t* target, const std::string& bytes, std::string* error) {
    // The user's own protection, kept alike on every Windows: some replace a
    // read-only file by a move, others refuse it.
    const DWORD present = GetFileAttributesW(target);
    if (present != INVALID_FILE_ATTRIBUTES && (present & FILE_ATTRIBUTE_READONLY)) {
        *error = Utf8Text(FileNameOf(target)) + " is read-only: untick Read-only in its Properties to let it be "
                                                "replaced.";
        return false;
    }
    wchar_t temporary[MAX_PATH];
    if (!GetTempFileNameW(FolderOf(target).c_str(), L"zen", 0, temporary))
        return Refuse(error, "no new file can be made in its folder", GetLastError());
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, bytes);
    DWORD code = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (written && !MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        written = false;
        code = GetLastError();
    }
    if (written) return true;
    DeleteFileW(temporary);
    return Refuse(error, "the new list cannot be written", code);
}

std::wstring DatedCopyName(const wchar_t* path) {
    for (int number = 1; number < kMostCopies; ++number) {
        const std::wstring name = NumberedCopyName(path, number);
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) return name;
    }
    return NumberedCopyName(path, kMostCopies);
}

// *kept names only a copy this call made: the caller deletes it should the new
// list fail, so a name already taken (an earlier copy) must never reach it.
bool KeepDatedCopy(const wchar_t* path, std::wstring* kept, std::string* error) {
    kept->clear();
    for (int number = 1; number <= kMostCopies; ++number) {
        const std::wstring name = NumberedCopyName(path, number);
        if (CopyFileW(path, name.c_str(), TRUE)) {
            *kept = name;
            return true;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            return Refuse(error, "the present list cannot be kept", code);
    }
    *error = "the present list cannot be kept: today's " + std::to_string(kMostCopies) + " names are taken";
    return false;
}

bool RemoveFile(const wchar_t* path) {
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path) != 0;
}

bool FileExists(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Utf8Text(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::wstring WideText(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

std::wstring FileNameOf(const wchar_t* path) {
    const std::wstring text(path);
    const size_t slash = text.find_last_of(L"\\/");
    return slash == std::wstring::npos ? text : text.substr(slash + 1);
}
