#pragma once
// The test controls of ScriptedRapi.cpp, a Remote API library whose device
// is a script: every call succeeds at once, except what the test asks to fail.
// The test exe reaches them through the loaded "rapi.dll".
#include <windows.h>

// Resets the script. `initResult` is what the initialisation reports; the
// `shortWriteAt`-th CeWriteFile (1-based, 0 = none) succeeds but reports only
// half of the bytes as written.
using PFN_ScriptedRapiReset = void(WINAPI*)(HRESULT initResult, DWORD shortWriteAt);
// From now on the `nthWrite`-th CeWriteFile sets *stop to 1 before it returns,
// as if the user had asked to stop while that block was written. With
// `clearAtDelete`, CeDeleteFile sets it back to 0, as a receiver of
// UM_COPY_STOPPED may do before the list walk looks at it.
using PFN_ScriptedRapiStopAt = void(WINAPI*)(volatile BYTE* stop, DWORD nthWrite,
                                             BOOL clearAtDelete);
// Device files created and not yet closed.
using PFN_ScriptedRapiOpenFiles = LONG(WINAPI*)();
// CeCreateFile calls since the reset.
using PFN_ScriptedRapiCreates = DWORD(WINAPI*)();
// CeWriteFile calls since the reset.
using PFN_ScriptedRapiWrites = DWORD(WINAPI*)();
// Paths passed to CeDeleteFile since the reset, one after another, each
// ending with a newline; returns the length without the terminating null.
using PFN_ScriptedRapiDeleted = DWORD(WINAPI*)(WCHAR* out, DWORD size);
