#pragma once
// The free-space reply of the device's helper library: UTF-16LE decimal text.
// Portable code: the product and the native fuzzer build it alike.
#include <cstdint>

// The number in `reply`, read no further than its first zero unit and never
// beyond `length` bytes, as the C library's wide-string conversion reads it in
// base 10 in the "C" locale: leading white space (space, \t, \n, \v, \f, \r),
// an optional sign, decimal digits up to the first other unit. No digits give
// 0; a value beyond the signed 64-bit range gives that range's limit.
int64_t ParseFreeSpaceReply(const uint8_t* reply, uint32_t length);
