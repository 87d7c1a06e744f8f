#pragma once
// The free-space reply of the device's helper library: UTF-16 decimal text.
#include <windows.h>

#include <cstdint>

// The number in `reply`, read no further than its first zero unit and never
// beyond `length` bytes: leading white space, an optional sign, decimal
// digits. No digits give 0; a value beyond the signed 64-bit range gives that
// range's limit.
int64_t ParseFreeSpaceReply(const BYTE* reply, DWORD length);
