#include "emulator/device/DeviceRequest.h"

#include "emulator/link/LinkProtocol.h"

using link::Op;

namespace {

bool ReadPath(link::Reader& in, std::wstring& path) {
    return in.String(path, link::MaxPathUnits);
}

// The arguments of `op`; every read fails once one has failed.
bool ReadArguments(link::Reader& in, DeviceRequest& r) {
    switch (static_cast<Op>(r.op)) {
    case Op::CreateFile:
        return ReadPath(in, r.path) && in.U32(r.access) && in.U32(r.share) &&
               in.U32(r.disposition) && in.U32(r.attributes);
    case Op::WriteFile:
        return in.U32(r.handle) && in.Bytes(r.data, r.dataSize, link::MaxDataChunk);
    case Op::ReadFile:
        return in.U32(r.handle) && in.U32(r.count) && r.count <= link::MaxDataChunk;
    case Op::CloseHandle:
    case Op::GetFileSize:
    case Op::FindNextFile:
    case Op::FindClose:
        return in.U32(r.handle);
    case Op::SetFileAttributes:
        return ReadPath(in, r.path) && in.U32(r.attributes);
    case Op::GetFileAttributes:
    case Op::DeleteFile:
    case Op::CreateDirectory:
    case Op::RemoveDirectory:
    case Op::FindFirstFile:
        return ReadPath(in, r.path);
    case Op::MoveFile:
        return ReadPath(in, r.path) && ReadPath(in, r.newPath);
    case Op::FindAllFiles:
        return ReadPath(in, r.path) && in.U32(r.flags);
    case Op::GetStoreInformation:
    case Op::GetVersionEx:
        return true;
    case Op::Invoke:
        return ReadPath(in, r.path) && in.String(r.function, link::MaxNameUnits) &&
               in.Bytes(r.data, r.dataSize, link::MaxDataChunk);
    case Op::CreateProcess:
        return ReadPath(in, r.path) && in.String(r.commandLine, link::MaxCommandLineUnits);
    default:
        return false;
    }
}

} // namespace

bool IsDeviceOperation(uint32_t op) {
    return op > static_cast<uint32_t>(Op::Hello) && op < static_cast<uint32_t>(Op::Count);
}

bool DecodeDeviceRequest(const uint8_t* payload, size_t size, DeviceRequest& out) {
    link::Reader in(payload, size);
    return in.U32(out.op) && IsDeviceOperation(out.op) && ReadArguments(in, out) && in.Done();
}

bool IsUseSharedLinkRequest(const uint8_t* payload, size_t size) {
    link::Reader in(payload, size);
    uint32_t op = 0;
    return in.U32(op) && in.Done() && op == link::UseSharedLinkOp;
}

bool DecodeDeviceHello(const uint8_t* payload, size_t size, uint32_t& version) {
    link::Reader in(payload, size);
    uint32_t op = 0, magic = 0;
    return in.U32(op) && in.U32(magic) && in.U32(version) && in.Done() &&
           op == static_cast<uint32_t>(Op::Hello) && magic == link::LinkMagic;
}
