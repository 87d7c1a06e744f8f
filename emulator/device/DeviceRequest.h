#pragma once
// devicesim's reading of a request: the operation and its arguments, each
// field checked against what is left of the payload. Portable code: devicesim
// and the native fuzzer use it alike.
#include <cstddef>
#include <cstdint>
#include <string>

// The arguments of one request; beside each field, the operations that carry it.
struct DeviceRequest {
    uint32_t op = 0;               // as received, also when it is no operation
    std::wstring path;             // the path requests; MoveFile's source; Invoke's
                                   // library; CreateProcess's program
    std::wstring newPath;          // MoveFile
    std::wstring function;         // Invoke
    std::wstring commandLine;      // CreateProcess
    uint32_t handle = 0;           // CloseHandle, WriteFile, ReadFile, GetFileSize,
                                   // FindNextFile, FindClose
    uint32_t count = 0;            // ReadFile: the bytes wanted, at most MaxDataChunk
    uint32_t access = 0;           // CreateFile
    uint32_t share = 0;            // CreateFile
    uint32_t disposition = 0;      // CreateFile
    uint32_t attributes = 0;       // CreateFile, SetFileAttributes
    uint32_t flags = 0;            // FindAllFiles
    const uint8_t* data = nullptr; // WriteFile's data, Invoke's input: inside the payload
    uint32_t dataSize = 0;
};

// True for the operations served after the handshake.
bool IsDeviceOperation(uint32_t op);

// Reads a request that follows the handshake. False when it is malformed: no
// operation that IsDeviceOperation accepts, a field that does not fit what is
// left or breaks its limit, or bytes left over.
bool DecodeDeviceRequest(const uint8_t* payload, size_t size, DeviceRequest& out);

// True for the request to move the link into shared memory (UseSharedLinkOp
// and nothing else).
bool IsUseSharedLinkRequest(const uint8_t* payload, size_t size);

// Reads the handshake: true for Hello with the link's magic and nothing left
// over; `version` is then the version the PC speaks.
bool DecodeDeviceHello(const uint8_t* payload, size_t size, uint32_t& version);
