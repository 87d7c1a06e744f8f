#pragma once
// Loading a catalogue text by id, and the system's text for an error code.
#include <windows.h>

#include <cstdint>
#include <string>

// The text of string id `id` in `module`'s string table, exactly as stored;
// empty when it cannot be loaded.
std::wstring LoadMessageText(HMODULE module, uint32_t id);

// The system's message text for `code` (ending in CR LF), or empty.
std::wstring SystemErrorText(uint32_t code);

// SystemErrorText of the calling thread's last error.
std::wstring LastErrorText();
