// The device tests load the call-logging stand-in in place of the system's
// rapi.dll.
#include "device/RapiLibrary.h"
#include "tests/device/FakeRapiHarness.h"

std::wstring RapiLibraryPath() {
    return FakeRapiLibrary(L"full");
}
