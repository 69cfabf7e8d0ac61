// Paths and names between the program's ANSI text and the wide functions of Win32.
#pragma once

#include <windows.h>

#include <string>

/// The wide path the system is given for an ANSI path: absolute, '/' as '\', "." and ".."
/// removed by the text alone, and with the \\?\ prefix, under which names are taken as they
/// are (AUX, "notes.", "dir ") and no MAX_PATH applies. False when the text cannot be one.
bool WidePath(const char* path, std::wstring* out);

/// The same without the prefix, as the program shows it; a trailing separator is kept.
bool AbsoluteWidePath(const char* path, std::wstring* out);

/// Both for a path that is wide text already (a typed argument).
bool WidePathOfWide(const std::wstring& path, std::wstring* out);
bool AbsoluteWidePathOfWide(std::wstring path, std::wstring* out);

/// The wide name in the ANSI code page, into out (cap bytes). False when it cannot be written
/// there exactly: a character the code page lacks (no best-fit look-alike is taken; out holds
/// '?' in its place), one that no Win32 name may hold (out shows it), or no room.
bool AnsiName(const wchar_t* name, char* out, int cap);

/// What the system knows of the entry at a wide path, directories included.
bool FileInformation(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info);

/// Whether two paths open one file (volume and file index), directories included.
bool SameFile(const std::wstring& a, const std::wstring& b);

/// Drops the lock LockDataFile holds on the file at target, which a rename is to replace.
void UnlockBeforeReplace(const std::wstring& target);

/// The C runtime's error number for the last Win32 error; errno is set to it too.
int SetErrnoFromLastError();

/// Ctrl-C, Ctrl-Break and closing the console remove the temporary file of a save and end the
/// run with STATUS_CONTROL_C_EXIT; EndInterrupted does the same at once (Ctrl-C read as a key).
void EndOnConsoleEvents();
void EndInterrupted();
