#pragma once
// Where the Remote API library comes from.
#include <string>

// rapi.dll in the system folder, where the device software installs it (a
// 32-bit program on 64-bit Windows sees its 32-bit system folder there).
// Loading it by this full path never finds a library of the same name beside
// the program or in the current folder. Empty when the system folder cannot
// be read.
std::wstring RapiLibraryPath();
