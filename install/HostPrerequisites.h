#pragma once
// What the PC needs before it can reach a device: an operating system of
// major version 6 or later, or ActiveSync installed.
#include <cstdint>

// Reads the OS version; each out parameter may be null. False when the
// version cannot be read, and then nothing is written.
bool QueryOsVersion(uint32_t* major, uint32_t* minor, uint32_t* platformId);

// True when ActiveSync's App Paths key (CEAPPMGR.EXE) can be opened for reading.
bool IsActiveSyncInstalled();

// The rule of the run: major version 6 or later, else ActiveSync present.
bool HostCanReachDevice();
