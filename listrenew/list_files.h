// The satellite list's files on Windows, for bdaprobe --make-list and
// ZentrikList.dll: a table read whole within its size limit, a list written
// beside its place and moved over it only once complete, and the present
// list kept under a dated name. Reasons are English text in UTF-8, as the
// user reads them.
#pragma once
#include <cstddef>
#include <string>

// False with the reason ("cannot be opened: Access is denied.") when the file
// cannot be read whole; a file larger than `limit` is refused unread.
bool ReadWholeFile(const wchar_t* path, size_t limit, std::string* bytes, std::string* error);

// Writes the bytes to a new file in the target's folder and moves it over the
// target: the target is untouched unless the whole was written. False with
// the reason; nothing is left behind then. A read-only target is refused.
bool ReplaceFileWith(const wchar_t* target, const std::string& bytes, std::string* error);

// "satellite-2026-09-01.ini" for "satellite.ini" today (local date); with
// "-2", "-3", ... before ".ini" from the second on. The first of them that
// does not exist.
std::wstring DatedCopyName(const wchar_t* path);

// Copies the file to DatedCopyName's name, never over an existing file
// (should another take that name meanwhile, the next number); *kept is the
// name used. False with the reason, and *kept empty: no earlier copy is ever
// named there.
bool KeepDatedCopy(const wchar_t* path, std::wstring* kept, std::string* error);

// Deletes the file, a read-only one too: a copy takes its original's
// attributes along.
bool RemoveFile(const wchar_t* path);

bool FileExists(const wchar_t* path);

std::string Utf8Text(const std::wstring& text);
std::wstring WideText(const std::string& utf8);
// The last part of a path, as a message names the file.
std::wstring FileNameOf(const wchar_t* path);
