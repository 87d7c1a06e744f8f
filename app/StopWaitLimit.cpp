// The product's give-up limit, alone in its translation unit: a test program
// that defines StopWaitLimitMs itself never links this one.
#include "app/StopWaitLimit.h"

extern const DWORD StopWaitLimitMs = 30000;
