#pragma once
#include <windows.h>

#include <cstdint>

// The device folder below which the update is installed.
constexpr wchar_t DeviceRoot[] = L"\\Mounted Volume";

constexpr DWORD StartDelayMs = 500;
constexpr uint32_t HelperBlockSize = 0x10000;
constexpr uint32_t UpdateBlockSize = 0x20000;
constexpr DWORD RelayStartDelayMs = 200;
