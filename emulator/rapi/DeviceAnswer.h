#pragma once
// rapi.dll's reading of the device's answers: the fields every answer starts
// with, and the out data of each operation, each field checked against what
// is left. Portable code: rapi.dll and the native fuzzer use it alike.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/link/LinkProtocol.h"

// The szCSDVersion text of the version answer: 128 units less the zero.
constexpr uint32_t MaxVersionTextUnits = 127;
// More records than a find-all answer can be meant to hold.
constexpr uint32_t MaxFindAllRecords = 100000;

struct DeviceAnswer {
    uint32_t result = 0;
    uint32_t lastError = 0;       // the device's, for CeGetLastError
    std::vector<uint8_t> outData; // the operation's out data, read below
};

// The answer to a request of `sentOp`: false when it is too short for its
// fields or answers another operation.
bool DecodeDeviceAnswer(const uint8_t* payload, size_t size, uint32_t sentOp, DeviceAnswer& out);

// The answer to the handshake: true when the device accepted our version.
bool DecodeHelloAnswer(const uint8_t* payload, size_t size);

// The answer to UseSharedLinkOp's out data: the shared link's name.
bool DecodeSharedLinkAnswer(const std::vector<uint8_t>& outData, std::wstring& name);

// The out data of each operation; false when it does not parse or holds more.
// WriteFile: the bytes written of the `chunk` sent, never more.
bool DecodeWriteAnswer(const std::vector<uint8_t>& outData, uint32_t chunk, uint32_t& written);
// ReadFile: at most the `chunk` asked for; `data` points into outData.
bool DecodeReadAnswer(const std::vector<uint8_t>& outData, uint32_t chunk, const uint8_t*& data,
                      uint32_t& count);
// GetFileSize: the high half of the size.
bool DecodeFileSizeAnswer(const std::vector<uint8_t>& outData, uint32_t& high);
// FindFirstFile and FindNextFile: one record.
bool DecodeFindAnswer(const std::vector<uint8_t>& outData, link::FindRecord& record);
// FindAllFiles: a count, then as many records.
bool DecodeFindAllAnswer(const std::vector<uint8_t>& outData,
                         std::vector<link::FindRecord>& records);
// GetStoreInformation: total, then free bytes.
bool DecodeStoreAnswer(const std::vector<uint8_t>& outData, uint64_t& total, uint64_t& freeBytes);

struct VersionAnswer {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platform = 0;
    std::wstring text; // at most MaxVersionTextUnits
};
// GetVersionEx.
bool DecodeVersionAnswer(const std::vector<uint8_t>& outData, VersionAnswer& version);
// Invoke: the device function's output, at most MaxDataChunk bytes; `data`
// points into outData.
bool DecodeInvokeAnswer(const std::vector<uint8_t>& outData, const uint8_t*& data, uint32_t& count);
