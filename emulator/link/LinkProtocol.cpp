#include "emulator/link/LinkProtocol.h"

#include <cstring>

namespace link {

const char* OpName(uint32_t op) {
    static const char* const names[] = {"?",
                                        "Hello",
                                        "CreateFile",
                                        "CloseHandle",
                                        "WriteFile",
                                        "ReadFile",
                                        "GetFileSize",
                                        "SetFileAttributes",
                                        "GetFileAttributes",
                                        "DeleteFile",
                                        "MoveFile",
                                        "CreateDirectory",
                                        "RemoveDirectory",
                                        "FindFirstFile",
                                        "FindNextFile",
                                        "FindClose",
                                        "FindAllFiles",
                                        "GetStoreInformation",
                                        "GetVersionEx",
                                        "Invoke",
                                        "CreateProcess"};
    static_assert(sizeof(names) / sizeof(names[0]) == static_cast<size_t>(Op::Count));
    return op < static_cast<uint32_t>(Op::Count) ? names[op] : "?";
}

void Writer::U32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Writer::U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
}

void Writer::String(const std::wstring& s) {
    U32(static_cast<uint32_t>(s.size()));
    for (wchar_t c : s) {
        data_.push_back(static_cast<uint8_t>(c & 0xFF));
        data_.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
}

void Writer::Bytes(const void* data, size_t count) {
    U32(static_cast<uint32_t>(count));
    const auto* p = static_cast<const uint8_t*>(data);
    if (count != 0)
        data_.insert(data_.end(), p, p + count);
}

bool Reader::Take(size_t count, const uint8_t*& at) {
    if (!ok_ || size_ - pos_ < count) {
        ok_ = false;
        return false;
    }
    at = data_ + pos_;
    pos_ += count;
    return true;
}

bool Reader::U32(uint32_t& v) {
    const uint8_t* p = nullptr;
    if (!Take(4, p))
        return false;
    v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
        static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return true;
}

bool Reader::U64(uint64_t& v) {
    uint32_t lo = 0, hi = 0;
    if (!U32(lo) || !U32(hi))
        return false;
    v = static_cast<uint64_t>(hi) << 32 | lo;
    return true;
}

bool Reader::String(std::wstring& s, uint32_t maxUnits) {
    uint32_t units = 0;
    if (!U32(units))
        return false;
    if (units > maxUnits) {
        ok_ = false;
        return false;
    }
    const uint8_t* p = nullptr;
    if (!Take(static_cast<size_t>(units) * 2, p))
        return false;
    s.assign(units, L'\0');
    for (uint32_t i = 0; i < units; ++i) {
        wchar_t c = static_cast<wchar_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (c == L'\0') {
            ok_ = false;
            return false;
        }
        s[i] = c;
    }
    return true;
}

bool Reader::Bytes(const uint8_t*& data, uint32_t& count, uint32_t maxBytes) {
    if (!U32(count))
        return false;
    if (count > maxBytes) {
        ok_ = false;
        return false;
    }
    return Take(count, data);
}

void PutFindRecord(Writer& w, const FindRecord& r) {
    w.U32(r.attributes);
    w.U64(r.creationTime);
    w.U64(r.lastAccessTime);
    w.U64(r.lastWriteTime);
    w.U32(r.sizeHigh);
    w.U32(r.sizeLow);
    w.U32(r.oid);
    w.String(r.name);
}

bool GetFindRecord(Reader& r, FindRecord& out) {
    return r.U32(out.attributes) && r.U64(out.creationTime) && r.U64(out.lastAccessTime) &&
           r.U64(out.lastWriteTime) && r.U32(out.sizeHigh) && r.U32(out.sizeLow) &&
           r.U32(out.oid) && r.String(out.name, MaxNameUnits);
}

} // namespace link
