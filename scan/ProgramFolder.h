#pragma once
#include <windows.h>

#include <string>

// The folder of the running executable, in upper case (only a-z raised),
// without a trailing backslash; empty when the path cannot be read.
std::wstring ProgramFolder();

// The text rule of ProgramFolder applied to a module-path buffer of MAX_PATH
// units that need not be terminated: everything before the last backslash of
// the whole buffer, with a-z raised. Empty when there is no backslash.
std::wstring ProgramFolderFromModulePath(const wchar_t (&modulePath)[MAX_PATH]);
