// devicesim's reading of requests and of the handshake: whatever it accepts
// keeps every limit of the wire format and is exactly what the PC's encoding
// of those arguments gives, so nothing is read twice, skipped or made up.
#include <cstring>
#include <vector>

#include "emulator/device/DeviceRequest.h"
#include "emulator/link/LinkProtocol.h"
#include "tests/fuzz/FuzzCheck.h"

using link::Op;

namespace {

bool HasZeroUnit(const std::wstring& s) {
    return s.find(L'\0') != std::wstring::npos;
}

// The request as the PC encodes these arguments.
std::vector<uint8_t> Encode(const DeviceRequest& r) {
    link::Writer w;
    w.U32(r.op);
    switch (static_cast<Op>(r.op)) {
    case Op::CreateFile:
        w.String(r.path);
        w.U32(r.access);
        w.U32(r.share);
        w.U32(r.disposition);
        w.U32(r.attributes);
        break;
    case Op::WriteFile:
        w.U32(r.handle);
        w.Bytes(r.data, r.dataSize);
        break;
    case Op::ReadFile:
        w.U32(r.handle);
        w.U32(r.count);
        break;
    case Op::CloseHandle:
    case Op::GetFileSize:
    case Op::FindNextFile:
    case Op::FindClose:
        w.U32(r.handle);
        break;
    case Op::SetFileAttributes:
        w.String(r.path);
        w.U32(r.attributes);
        break;
    case Op::GetFileAttributes:
    case Op::DeleteFile:
    case Op::CreateDirectory:
    case Op::RemoveDirectory:
    case Op::FindFirstFile:
        w.String(r.path);
        break;
    case Op::MoveFile:
        w.String(r.path);
        w.String(r.newPath);
        break;
    case Op::FindAllFiles:
        w.String(r.path);
        w.U32(r.flags);
        break;
    case Op::GetStoreInformation:
    case Op::GetVersionEx:
        break;
    case Op::Invoke:
        w.String(r.path);
        w.String(r.function);
        w.Bytes(r.data, r.dataSize);
        break;
    case Op::CreateProcess:
        w.String(r.path);
        w.String(r.commandLine);
        break;
    default:
        PELKO_FUZZ_CHECK(!"an accepted request has an operation");
    }
    return w.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DeviceRequest r;
    if (DecodeDeviceRequest(data, size, r)) {
        PELKO_FUZZ_CHECK(IsDeviceOperation(r.op));
        PELKO_FUZZ_CHECK(r.path.size() <= link::MaxPathUnits && !HasZeroUnit(r.path));
        PELKO_FUZZ_CHECK(r.newPath.size() <= link::MaxPathUnits && !HasZeroUnit(r.newPath));
        PELKO_FUZZ_CHECK(r.function.size() <= link::MaxNameUnits && !HasZeroUnit(r.function));
        PELKO_FUZZ_CHECK(r.commandLine.size() <= link::MaxCommandLineUnits &&
                         !HasZeroUnit(r.commandLine));
        PELKO_FUZZ_CHECK(r.count <= link::MaxDataChunk && r.dataSize <= link::MaxDataChunk);
        // The data points into the payload, within it.
        PELKO_FUZZ_CHECK(r.dataSize == 0 || (r.data >= data && r.data + r.dataSize <= data + size));
        const std::vector<uint8_t> again = Encode(r);
        PELKO_FUZZ_CHECK(again.size() == size && std::memcmp(again.data(), data, size) == 0);
    }

    uint32_t version = 0;
    if (DecodeDeviceHello(data, size, version)) {
        link::Writer w;
        w.U32(static_cast<uint32_t>(Op::Hello));
        w.U32(link::LinkMagic);
        w.U32(version);
        PELKO_FUZZ_CHECK(w.Data() == std::vector<uint8_t>(data, data + size));
    }
    return 0;
}
