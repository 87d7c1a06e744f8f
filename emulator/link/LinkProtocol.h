#pragma once
// The wire format between rapi.dll (the PC side) and devicesim (the device).
//
// Every message is a frame: a 32-bit little-endian payload length followed by
// the payload. A payload longer than MaxFramePayload closes the connection.
// The first frame on a connection is the handshake (OpHello with LinkMagic and
// LinkVersion); the device answers it before anything else is accepted.
//
// Request payload:  u32 operation, then the operation's arguments.
// Response payload: u32 operation (echoed), u32 result, u32 device last error,
//                   then the operation's out data.
// Fields are fixed-width little-endian integers; strings are a u32 count of
// UTF-16 units followed by the units (no terminating zero, no embedded zero);
// byte blocks are a u32 count followed by the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace link {

// The port on 127.0.0.1 where devicesim listens and rapi.dll looks for it,
// unless they are told otherwise (devicesim --port, RAPI_DEVICE).
#define PELKO_DEFAULT_DEVICE_PORT 9990
constexpr unsigned short DefaultDevicePort = PELKO_DEFAULT_DEVICE_PORT;

constexpr uint32_t LinkMagic = 0x524B4C50; // "PLKR"
constexpr uint32_t LinkVersion = 1;
constexpr uint32_t MaxDataChunk = 1024 * 1024;             // file data per request
constexpr uint32_t MaxFramePayload = MaxDataChunk + 65536; // data plus fields
constexpr uint32_t MaxPathUnits = 259;                     // MAX_PATH less the zero
constexpr uint32_t MaxNameUnits = 259;
constexpr uint32_t MaxCommandLineUnits = 32767;

enum class Op : uint32_t {
    Hello = 1,
    CreateFile,
    CloseHandle,
    WriteFile,
    ReadFile,
    GetFileSize,
    SetFileAttributes,
    GetFileAttributes,
    DeleteFile,
    MoveFile,
    CreateDirectory,
    RemoveDirectory,
    FindFirstFile,
    FindNextFile,
    FindClose,
    FindAllFiles,
    GetStoreInformation,
    GetVersionEx,
    Invoke,
    CreateProcess,
    Count // first value that is not an operation
};

const char* OpName(uint32_t op);

// Asked by the PC once, as the first request after the handshake, to move the
// connection's frames through shared memory (SharedLink.h) from then on; no
// operation of the device. The answer: result 1 and the shared link's name as
// a string, or result 0 where the device cannot.
constexpr uint32_t UseSharedLinkOp = 0x100;
constexpr uint32_t MaxSharedLinkNameUnits = 128;

// Builds a payload.
class Writer {
public:
    void U32(uint32_t v);
    void U64(uint64_t v);
    void String(const std::wstring& s);
    void Bytes(const void* data, size_t count);
    void Append(const std::vector<uint8_t>& raw) {
        data_.insert(data_.end(), raw.begin(), raw.end());
    }
    const std::vector<uint8_t>& Data() const { return data_; }

private:
    std::vector<uint8_t> data_;
};

// Reads a payload; every read checks the remaining length first. Once a read
// has failed, every later read fails too, so a caller may check once at the end.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool U32(uint32_t& v);
    bool U64(uint64_t& v);
    // Rejects more than maxUnits units and any zero unit.
    bool String(std::wstring& s, uint32_t maxUnits);
    // Rejects more than maxBytes bytes; points into the payload.
    bool Bytes(const uint8_t*& data, uint32_t& count, uint32_t maxBytes);
    bool Ok() const { return ok_; }
    // True when everything was read and nothing is left over.
    bool Done() const { return ok_ && pos_ == size_; }

private:
    bool Take(size_t count, const uint8_t*& at);
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// The find record as it travels: the fields of CE_FIND_DATA.
struct FindRecord {
    uint32_t attributes = 0;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint32_t sizeHigh = 0;
    uint32_t sizeLow = 0;
    uint32_t oid = 0;
    std::wstring name;
};
void PutFindRecord(Writer& w, const FindRecord& r);
bool GetFindRecord(Reader& r, FindRecord& out);

} // namespace link
