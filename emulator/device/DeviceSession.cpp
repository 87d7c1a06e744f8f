#include "emulator/device/DeviceSession.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "emulator/device/DevicePath.h"
#include "emulator/device/DeviceRequest.h"
#include "emulator/device/DeviceStats.h"
#include "emulator/device/DeviceStorage.h"
#include "emulator/link/LinkSocket.h"
#include "emulator/link/Ticks.h"
#include "emulator/link/Utf8.h"

using link::Op;

namespace {

// Process-wide: "the Nth write of the session", "the link drops after N
// bytes" and "the request after N stalls" count across every connection.
std::atomic<uint64_t> requestsSeen{0};
std::atomic<uint64_t> writesSeen{0};
std::atomic<uint64_t> dataWritten{0};
std::atomic<bool> linkDropped{false};

constexpr size_t MaxOpenHandles = 4096;
constexpr size_t MaxFindAllEntries = 1500; // keeps the reply below the frame cap

using DeviceInvokeFn = HRESULT(WINAPI*)(DWORD, BYTE*, DWORD*, BYTE**, void*);

uint64_t FileTimeValue(const FILETIME& t) {
    return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

link::FindRecord ToRecord(const WIN32_FIND_DATAW& d) {
    link::FindRecord r;
    r.attributes = d.dwFileAttributes;
    r.creationTime = FileTimeValue(d.ftCreationTime);
    r.lastAccessTime = FileTimeValue(d.ftLastAccessTime);
    r.lastWriteTime = FileTimeValue(d.ftLastWriteTime);
    r.sizeHigh = d.nFileSizeHigh;
    r.sizeLow = d.nFileSizeLow;
    r.name = d.cFileName;
    return r;
}

bool IsFolder(const std::wstring& pcPath) {
    DWORD a = GetFileAttributesW(pcPath.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The device's own changes to a mapped path; each fails with the Win32 last
// error set, as the device reports it.
BOOL DeleteDeviceFile(const std::wstring& pcPath) {
    // Neither a folder nor a read-only file is deleted.
    const DWORD attributes = GetFileAttributesW(pcPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return DeleteFileW(pcPath.c_str());
}

// On clustered storage a folder takes a cluster: without one free, a folder
// that could otherwise be created fails with ERROR_DISK_FULL.
BOOL CreateDeviceFolder(const std::wstring& pcPath) {
    const DeviceStorage& storage = TheStorage();
    uint64_t freeBefore = 0, total = 0;
    const bool costs =
        storage.hasCapacity && storage.FolderAllocation() != 0 && storage.Space(freeBefore, total);
    if (!CreateDirectoryW(pcPath.c_str(), nullptr))
        return FALSE;
    if (costs && freeBefore < storage.FolderAllocation()) {
        RemoveDirectoryW(pcPath.c_str());
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDeviceFolder(const std::wstring& pcPath) {
    return RemoveDirectoryW(pcPath.c_str());
}

// Sleep overshoots by a fraction of a millisecond, and further on a busy
// machine; the last stretch before the deadline is waited out on the clock,
// so that an answer leaves on time.
constexpr int64_t ClockWatchingUs = 1000;

void WaitUntil(int64_t deadline) {
    const int64_t perSecond = link::TicksPerSecond();
    for (;;) {
        const int64_t remainingUs = (deadline - link::Ticks()) * 1000000 / perSecond;
        if (remainingUs <= 0)
            return;
        if (remainingUs > ClockWatchingUs)
            ::Sleep(static_cast<DWORD>((remainingUs - ClockWatchingUs) / 1000 + 1));
        else
            YieldProcessor();
    }
}

} // namespace

void DeviceSession::Run() {
    DeviceStats& stats = TheStats();
    stats.Log("conn=" + std::to_string(id_) + " opened");
    if (!Handshake()) {
        stats.Log("conn=" + std::to_string(id_) + " closed at handshake");
        return;
    }
    std::vector<uint8_t> request;
    for (bool first = true;; first = false) {
        link::RecvResult got = ReceiveFrame(request);
        // A request reaches the device when the PC puts it on the link.
        const int64_t arrival = sharedLink_ ? sharedLink_->LastSentAt() : link::Ticks();
        if (got != link::RecvResult::Ok) {
            if (got == link::RecvResult::Oversized) {
                ++stats.malformed;
                stats.Log("conn=" + std::to_string(id_) + " oversized frame, closing");
            }
            break;
        }
        if (first && IsUseSharedLinkRequest(request.data(), request.size())) {
            if (!OfferSharedLink())
                break;
            continue;
        }
        stats.bytesIn += 4 + request.size();
        if (options_.hasStallAfter && ++requestsSeen == options_.stallAfter + 1) {
            Stall(request);
            break;
        }
        DeviceRequest args;
        const bool decoded = DecodeDeviceRequest(request.data(), request.size(), args);
        const uint32_t op = args.op;
        uint32_t result = 0;
        link::Writer out;
        logDetail_.clear();
        if (IsDeviceOperation(op))
            ++stats.requests[op];
        Outcome outcome = decoded ? Handle(args, result, out) : Outcome::Close;
        if (outcome == Outcome::Close) {
            if (!linkDropped.load() || op != static_cast<uint32_t>(Op::WriteFile)) {
                ++stats.malformed;
                stats.Log("conn=" + std::to_string(id_) + " malformed request (op " +
                          std::to_string(op) + "), closing");
            }
            break;
        }
        if (logging_)
            stats.Log("conn=" + std::to_string(id_) + " " + link::OpName(op) + logDetail_ + " -> " +
                      std::to_string(result) + " err=" + std::to_string(lastError_));
        link::Writer response;
        response.U32(op);
        response.U32(result);
        response.U32(lastError_);
        response.Append(out.Data());
        WaitForLink(arrival, 4 + request.size() + 4 + response.Data().size());
        if (!SendFrame(response.Data()))
            break;
        stats.bytesOut += 4 + response.Data().size();
    }
    // A PC on the shared link learns at once that this end has gone.
    if (sharedLink_)
        sharedLink_->Close();
    stats.Log("conn=" + std::to_string(id_) + " closed; " + stats.Summary());
}

link::RecvResult DeviceSession::ReceiveFrame(std::vector<uint8_t>& payload) {
    return sharedLink_ ? sharedLink_->Receive(payload) : link::RecvFrame(socket_, payload);
}

bool DeviceSession::SendFrame(const std::vector<uint8_t>& payload) {
    return sharedLink_ ? sharedLink_->Send(payload) : link::SendFrame(socket_, payload);
}

bool DeviceSession::OfferSharedLink() {
    const std::wstring name = L"Local\\pelko-devicesim-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(id_);
    std::unique_ptr<link::SharedLink> shared = link::SharedLink::Create(name, socket_);
    link::Writer answer;
    answer.U32(link::UseSharedLinkOp);
    answer.U32(shared ? 1 : 0);
    answer.U32(0);
    if (shared)
        answer.String(name);
    // The answer still goes through the socket; the next frame comes through
    // the shared link.
    if (!link::SendFrame(socket_, answer.Data()))
        return false;
    sharedLink_ = std::move(shared);
    TheStats().Log("conn=" + std::to_string(id_) +
                   (sharedLink_ ? " frames through shared memory" : " frames through the socket"));
    return true;
}

void DeviceSession::WaitForLink(int64_t arrival, uint64_t frameBytes) const {
    if (options_.latencyMs == 0 && options_.rate == 0)
        return;
    const int64_t perSecond = link::TicksPerSecond();
    int64_t modelled = static_cast<int64_t>(options_.latencyMs) * perSecond / 1000;
    if (options_.rate != 0)
        modelled += static_cast<int64_t>(frameBytes * perSecond / options_.rate);
    WaitUntil(arrival + modelled);
}

void DeviceSession::Stall(const std::vector<uint8_t>& request) {
    link::Reader in(request.data(), request.size());
    uint32_t op = 0;
    in.U32(op);
    TheStats().Log("conn=" + std::to_string(id_) + " " + link::OpName(op) + " STALLED (request " +
                   std::to_string(options_.stallAfter + 1) + ", never answered)");
    // A hung device keeps the link open and answers nothing more on it, until
    // the PC gives up and closes it.
    std::vector<uint8_t> ignored;
    while (ReceiveFrame(ignored) == link::RecvResult::Ok) {
    }
}

bool DeviceSession::Handshake() {
    std::vector<uint8_t> request;
    if (link::RecvFrame(socket_, request) != link::RecvResult::Ok)
        return false;
    const uint32_t op = static_cast<uint32_t>(Op::Hello);
    uint32_t version = 0;
    if (!DecodeDeviceHello(request.data(), request.size(), version)) {
        ++TheStats().malformed;
        TheStats().Log("conn=" + std::to_string(id_) + " bad handshake");
        return false;
    }
    ++TheStats().requests[op];
    if (options_.noHandshake) {
        // A device that never answers: hold the connection until the PC gives up.
        while (link::RecvFrame(socket_, request) == link::RecvResult::Ok) {
        }
        return false;
    }
    link::Writer response;
    response.U32(op);
    response.U32(version == link::LinkVersion ? 1 : 0);
    response.U32(0);
    response.U32(link::LinkVersion);
    if (!link::SendFrame(socket_, response.Data()))
        return false;
    return version == link::LinkVersion;
}

bool DeviceSession::Map(const std::wstring& devicePath, bool pattern, std::wstring& pcPath,
                        bool* isRoot) {
    if (logging_)
        logDetail_ += " " + link::Utf8(devicePath);
    MappedPath mapped;
    DWORD error = TheStorage().Map(devicePath, pattern, mapped);
    if (error != 0) {
        ++TheStats().refused;
        if (logging_)
            logDetail_ += " REFUSED";
        lastError_ = error;
        return false;
    }
    pcPath = mapped.pcPath;
    if (isRoot)
        *isRoot = mapped.isRoot;
    return true;
}

bool DeviceSession::MapChangeable(const std::wstring& devicePath, DWORD rootError,
                                  std::wstring& pcPath) {
    bool isRoot = false;
    if (!Map(devicePath, false, pcPath, &isRoot))
        return false;
    if (isRoot) {
        Fail(rootError);
        return false;
    }
    return true;
}

uint32_t DeviceSession::Fail(DWORD error) {
    lastError_ = error;
    return 0;
}

uint32_t DeviceSession::FromWin32(BOOL succeeded) {
    return succeeded ? 1 : Fail(GetLastError());
}

uint32_t DeviceSession::NewHandle() {
    uint32_t h = nextHandle_++;
    if (nextHandle_ == 0xFFFFFFFF)
        nextHandle_ = 1;
    return h;
}

DeviceSession::Outcome DeviceSession::Handle(const DeviceRequest& r, uint32_t& result,
                                             link::Writer& out) {
    std::wstring pc;
    switch (static_cast<Op>(r.op)) {
    case Op::CreateFile:
        return CreateFile(r, result);
    case Op::WriteFile:
        return WriteFile(r, result, out);
    case Op::CloseHandle:
        result = files_.erase(r.handle) ? 1 : Fail(ERROR_INVALID_HANDLE);
        return Outcome::Reply;
    case Op::ReadFile: {
        auto it = files_.find(r.handle);
        std::vector<uint8_t> data(r.count);
        DWORD got = 0;
        if (it == files_.end())
            result = Fail(ERROR_INVALID_HANDLE);
        else
            result = FromWin32(::ReadFile(it->second.get(), data.data(), r.count, &got, nullptr));
        out.Bytes(data.data(), result ? got : 0);
        return Outcome::Reply;
    }
    case Op::GetFileSize: {
        auto it = files_.find(r.handle);
        LARGE_INTEGER size{};
        if (it == files_.end()) {
            result = Fail(ERROR_INVALID_HANDLE);
            result = INVALID_FILE_SIZE;
        } else if (!GetFileSizeEx(it->second.get(), &size)) {
            result = Fail(GetLastError());
            result = INVALID_FILE_SIZE;
        } else {
            result = size.LowPart;
        }
        out.U32(static_cast<uint32_t>(size.HighPart));
        return Outcome::Reply;
    }
    case Op::SetFileAttributes:
        result = MapChangeable(r.path, ERROR_ACCESS_DENIED, pc)
                     ? FromWin32(
                           SetFileAttributesW(pc.c_str(), r.attributes & ~FILE_ATTRIBUTE_DIRECTORY))
                     : 0;
        return Outcome::Reply;
    case Op::GetFileAttributes:
        if (!Map(r.path, false, pc)) {
            result = INVALID_FILE_ATTRIBUTES;
        } else {
            result = GetFileAttributesW(pc.c_str());
            if (result == INVALID_FILE_ATTRIBUTES)
                lastError_ = GetLastError();
        }
        return Outcome::Reply;
    case Op::DeleteFile:
        return ChangePath(r, result, ERROR_ACCESS_DENIED, DeleteDeviceFile);
    case Op::MoveFile: {
        std::wstring pcTo;
        bool fromRoot = false, toRoot = false;
        // Both paths are mapped (and a refusal logged) before the root is refused.
        if (!Map(r.path, false, pc, &fromRoot) || !Map(r.newPath, false, pcTo, &toRoot))
            result = 0;
        else if (fromRoot || toRoot)
            result = Fail(ERROR_ACCESS_DENIED);
        else
            result = FromWin32(MoveFileW(pc.c_str(), pcTo.c_str()));
        return Outcome::Reply;
    }
    case Op::CreateDirectory:
        return ChangePath(r, result, ERROR_ALREADY_EXISTS, CreateDeviceFolder);
    case Op::RemoveDirectory:
        return ChangePath(r, result, ERROR_ACCESS_DENIED, RemoveDeviceFolder);
    case Op::FindFirstFile:
        return FindFirst(r, result, out);
    case Op::FindNextFile: {
        auto it = searches_.find(r.handle);
        if (it == searches_.end()) {
            result = Fail(ERROR_INVALID_HANDLE);
        } else if (it->second.next >= it->second.entries.size()) {
            result = Fail(ERROR_NO_MORE_FILES);
        } else {
            link::PutFindRecord(out, it->second.entries[it->second.next++]);
            result = 1;
        }
        return Outcome::Reply;
    }
    case Op::FindClose:
        result = searches_.erase(r.handle) ? 1 : Fail(ERROR_INVALID_HANDLE);
        return Outcome::Reply;
    case Op::FindAllFiles:
        return FindAll(r, result, out);
    case Op::GetStoreInformation: {
        uint64_t freeBytes = 0, total = 0;
        result = FromWin32(TheStorage().Space(freeBytes, total));
        out.U64(total);
        out.U64(freeBytes);
        return Outcome::Reply;
    }
    case Op::GetVersionEx:
        result = 1;
        out.U32(5); // Windows CE 5.0
        out.U32(0);
        out.U32(1400);
        out.U32(3); // VER_PLATFORM_WIN32_CE
        out.String(L"");
        return Outcome::Reply;
    case Op::Invoke:
        return Invoke(r, result, out);
    case Op::CreateProcess:
        if (logging_)
            logDetail_ += " " + link::Utf8(r.path);
        result = Fail(ERROR_NOT_SUPPORTED);
        return Outcome::Reply;
    default:
        return Outcome::Close;
    }
}

DeviceSession::Outcome DeviceSession::ChangePath(const DeviceRequest& r, uint32_t& result,
                                                 DWORD rootError,
                                                 BOOL (*change)(const std::wstring& pcPath)) {
    std::wstring pc;
    result = MapChangeable(r.path, rootError, pc) ? FromWin32(change(pc)) : 0;
    return Outcome::Reply;
}

DeviceSession::Outcome DeviceSession::CreateFile(const DeviceRequest& r, uint32_t& result) {
    std::wstring pc;
    const uint32_t access = r.access, disposition = r.disposition;
    bool isRoot = false;
    result = 0;
    if (!Map(r.path, false, pc, &isRoot))
        return Outcome::Reply;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return Outcome::Reply;
    }
    // A folder cannot be opened as a file, and a read-only file refuses to be
    // overwritten or opened for writing until its attributes are reset.
    const DWORD existing = isRoot ? FILE_ATTRIBUTE_DIRECTORY : ::GetFileAttributesW(pc.c_str());
    const bool exists = existing != INVALID_FILE_ATTRIBUTES;
    const bool writes = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0 ||
                        disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (exists && ((existing & FILE_ATTRIBUTE_DIRECTORY) ||
                   (writes && (existing & FILE_ATTRIBUTE_READONLY)))) {
        Fail(ERROR_ACCESS_DENIED);
        return Outcome::Reply;
    }
    if (files_.size() >= MaxOpenHandles) {
        Fail(ERROR_TOO_MANY_OPEN_FILES);
        return Outcome::Reply;
    }
    DWORD flags =
        r.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY);
    UniqueFile file(::CreateFileW(pc.c_str(), access & (GENERIC_READ | GENERIC_WRITE),
                                  r.share & (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr,
                                  disposition, flags ? flags : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail(GetLastError());
        return Outcome::Reply;
    }
    if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
        lastError_ = GetLastError(); // ERROR_ALREADY_EXISTS when it was there
    uint32_t h = NewHandle();
    files_[h] = std::move(file);
    result = h;
    return Outcome::Reply;
}

DeviceSession::Outcome DeviceSession::WriteFile(const DeviceRequest& r, uint32_t& result,
                                                link::Writer& out) {
    const uint32_t count = r.dataSize;
    result = 0;
    DWORD written = 0;
    uint64_t nth = ++writesSeen;
    auto it = files_.find(r.handle);
    if (it == files_.end()) {
        Fail(ERROR_INVALID_HANDLE);
    } else if (options_.failWrite != 0 && nth == options_.failWrite) {
        if (logging_)
            logDetail_ += " (failed on purpose)";
        Fail(ERROR_WRITE_FAULT);
    } else {
        HANDLE file = it->second.get();
        uint64_t allowed = count;
        bool drop = false;
        if (options_.hasDropAfter && !linkDropped.load()) {
            uint64_t before = dataWritten.load();
            if (before + count >= options_.dropAfter && count != 0) {
                allowed = options_.dropAfter > before ? options_.dropAfter - before : 0;
                drop = true;
            }
        }
        const DeviceStorage& storage = TheStorage();
        if (storage.hasCapacity) {
            LARGE_INTEGER size{}, position{}, zero{};
            GetFileSizeEx(file, &size);
            SetFilePointerEx(file, zero, &position, FILE_CURRENT);
            const uint64_t end = static_cast<uint64_t>(position.QuadPart) + allowed;
            const uint64_t before = static_cast<uint64_t>(size.QuadPart);
            // On clustered storage a write that stays within the file's last
            // cluster takes nothing more; one that crosses it takes a cluster.
            const uint64_t growth =
                end > before ? storage.FileAllocation(end) - storage.FileAllocation(before) : 0;
            uint64_t freeBytes = 0, total = 0;
            storage.Space(freeBytes, total);
            if (growth > freeBytes) {
                Fail(ERROR_DISK_FULL);
                out.U32(0);
                return Outcome::Reply;
            }
        }
        if (!::WriteFile(file, r.data, static_cast<DWORD>(allowed), &written, nullptr)) {
            Fail(GetLastError());
        } else {
            result = 1;
            dataWritten += written;
        }
        if (drop) {
            linkDropped = true;
            TheStats().Log("conn=" + std::to_string(id_) + " link dropped after " +
                           std::to_string(dataWritten.load()) + " bytes of file data");
            files_.clear(); // the device closes what the dropped link had open
            return Outcome::Close;
        }
    }
    out.U32(written);
    return Outcome::Reply;
}

DWORD DeviceSession::Collect(const std::wstring& pattern, std::vector<link::FindRecord>& entries) {
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(pattern.c_str(), &data));
    if (!find) {
        DWORD error = GetLastError();
        return error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error;
    }
    do {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)
            continue;
        entries.push_back(ToRecord(data));
    } while (FindNextFileW(find.get(), &data));
    return entries.empty() ? ERROR_FILE_NOT_FOUND : 0;
}

DeviceSession::Outcome DeviceSession::FindFirst(const DeviceRequest& r, uint32_t& result,
                                                link::Writer& out) {
    std::wstring pc;
    bool isRoot = false;
    result = 0;
    if (!Map(r.path, true, pc, &isRoot))
        return Outcome::Reply;
    if (isRoot) {
        Fail(ERROR_FILE_NOT_FOUND);
        return Outcome::Reply;
    }
    if (searches_.size() >= MaxOpenHandles) {
        Fail(ERROR_TOO_MANY_OPEN_FILES);
        return Outcome::Reply;
    }
    // The matches are taken at once, so deleting them during the enumeration
    // does not disturb it.
    Search search;
    DWORD error = Collect(pc, search.entries);
    if (error != 0) {
        Fail(error);
        return Outcome::Reply;
    }
    link::PutFindRecord(out, search.entries[0]);
    search.next = 1;
    uint32_t h = NewHandle();
    searches_[h] = std::move(search);
    result = h;
    return Outcome::Reply;
}

DeviceSession::Outcome DeviceSession::FindAll(const DeviceRequest& r, uint32_t& result,
                                              link::Writer& out) {
    std::wstring pc;
    bool isRoot = false;
    result = 0;
    std::vector<link::FindRecord> entries;
    if (!Map(r.path, true, pc, &isRoot)) {
        out.U32(0);
        return Outcome::Reply;
    }
    DWORD error = isRoot ? ERROR_FILE_NOT_FOUND : Collect(pc, entries);
    if (error == ERROR_FILE_NOT_FOUND) {
        result = 1; // no match is an empty list, not a failure
    } else if (error != 0) {
        Fail(error);
    } else if (entries.size() > MaxFindAllEntries) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        entries.clear();
    } else {
        result = 1;
    }
    if (!result)
        entries.clear();
    out.U32(static_cast<uint32_t>(entries.size()));
    for (const auto& e : entries)
        link::PutFindRecord(out, e);
    return Outcome::Reply;
}

DeviceSession::Outcome DeviceSession::Invoke(const DeviceRequest& r, uint32_t& result,
                                             link::Writer& out) {
    std::wstring pc;
    const std::wstring& function = r.function;
    const uint8_t* input = r.data;
    const uint32_t inputSize = r.dataSize;
    if (logging_)
        logDetail_ += " " + link::Utf8(function);
    if (!Map(r.path, false, pc)) {
        result = static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
        out.Bytes(nullptr, 0);
        return Outcome::Reply;
    }
    std::string name;
    bool ascii = !function.empty();
    for (wchar_t c : function) {
        if (c < 0x21 || c > 0x7E)
            ascii = false;
        name += static_cast<char>(c);
    }
    HRESULT hr = S_OK;
    std::vector<uint8_t> output;
    // Loaded for this call only, so that the library file can be replaced or
    // deleted on the device afterwards.
    UniqueModule module(IsFolder(pc)
                            ? nullptr
                            : LoadLibraryExW(pc.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) {
        hr = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    } else {
        auto fn = ascii ? reinterpret_cast<DeviceInvokeFn>(
                              reinterpret_cast<void*>(GetProcAddress(module.get(), name.c_str())))
                        : nullptr;
        if (fn == nullptr) {
            hr = HRESULT_FROM_WIN32(ERROR_CALL_NOT_IMPLEMENTED);
        } else {
            // Device convention: the input and output blocks are LocalAlloc'd;
            // the device frees both once the call has returned.
            UniqueLocal inBlock(LocalAlloc(LMEM_FIXED, inputSize ? inputSize : 1));
            if (!inBlock) {
                hr = E_OUTOFMEMORY;
            } else {
                if (inputSize)
                    memcpy(inBlock.get(), input, inputSize);
                DWORD outSize = 0;
                BYTE* outData = nullptr;
                hr = fn(inputSize, static_cast<BYTE*>(inBlock.get()), &outSize, &outData, nullptr);
                UniqueLocal outBlock(outData);
                if (outData != nullptr && outSize > link::MaxDataChunk)
                    hr = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
                else if (outData != nullptr && SUCCEEDED(hr))
                    output.assign(outData, outData + outSize); // a failed call hands back nothing
            }
        }
    }
    result = static_cast<uint32_t>(hr);
    out.Bytes(output.data(), output.size());
    return Outcome::Reply;
}
