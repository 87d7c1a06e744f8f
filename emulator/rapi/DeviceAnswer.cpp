#include "emulator/rapi/DeviceAnswer.h"

namespace {

// The smallest find record on the wire: its fixed fields and an empty name.
constexpr size_t MinFindRecordBytes = 4 + 3 * 8 + 3 * 4 + 4;

link::Reader OutReader(const std::vector<uint8_t>& outData) {
    return link::Reader(outData.data(), outData.size());
}

} // namespace

bool DecodeDeviceAnswer(const uint8_t* payload, size_t size, uint32_t sentOp, DeviceAnswer& out) {
    constexpr size_t HeaderBytes = 12;
    link::Reader in(payload, size);
    uint32_t op = 0;
    if (!in.U32(op) || !in.U32(out.result) || !in.U32(out.lastError) || op != sentOp)
        return false;
    out.outData.assign(payload + HeaderBytes, payload + size);
    return true;
}

bool DecodeHelloAnswer(const uint8_t* payload, size_t size) {
    link::Reader in(payload, size);
    uint32_t op = 0, result = 0, error = 0, version = 0;
    return in.U32(op) && in.U32(result) && in.U32(error) && in.U32(version) && in.Done() &&
           op == static_cast<uint32_t>(link::Op::Hello) && result == 1 &&
           version == link::LinkVersion;
}

bool DecodeSharedLinkAnswer(const std::vector<uint8_t>& outData, std::wstring& name) {
    link::Reader out = OutReader(outData);
    return out.String(name, link::MaxSharedLinkNameUnits) && out.Done() && !name.empty();
}

bool DecodeWriteAnswer(const std::vector<uint8_t>& outData, uint32_t chunk, uint32_t& written) {
    link::Reader out = OutReader(outData);
    return out.U32(written) && out.Done() && written <= chunk;
}

bool DecodeReadAnswer(const std::vector<uint8_t>& outData, uint32_t chunk, const uint8_t*& data,
                      uint32_t& count) {
    link::Reader out = OutReader(outData);
    return out.Bytes(data, count, chunk) && out.Done();
}

bool DecodeFileSizeAnswer(const std::vector<uint8_t>& outData, uint32_t& high) {
    link::Reader out = OutReader(outData);
    return out.U32(high) && out.Done();
}

bool DecodeFindAnswer(const std::vector<uint8_t>& outData, link::FindRecord& record) {
    link::Reader out = OutReader(outData);
    return link::GetFindRecord(out, record) && out.Done();
}

bool DecodeFindAllAnswer(const std::vector<uint8_t>& outData,
                         std::vector<link::FindRecord>& records) {
    link::Reader out = OutReader(outData);
    uint32_t n = 0;
    // A count that the bytes left cannot hold is refused before any record
    // is made for it.
    if (!out.U32(n) || n > MaxFindAllRecords || n > (outData.size() - 4) / MinFindRecordBytes)
        return false;
    records.assign(n, link::FindRecord{});
    for (auto& r : records)
        if (!link::GetFindRecord(out, r))
            return false;
    return out.Done();
}

bool DecodeStoreAnswer(const std::vector<uint8_t>& outData, uint64_t& total, uint64_t& freeBytes) {
    link::Reader out = OutReader(outData);
    return out.U64(total) && out.U64(freeBytes) && out.Done();
}

bool DecodeVersionAnswer(const std::vector<uint8_t>& outData, VersionAnswer& version) {
    link::Reader out = OutReader(outData);
    return out.U32(version.major) && out.U32(version.minor) && out.U32(version.build) &&
           out.U32(version.platform) && out.String(version.text, MaxVersionTextUnits) && out.Done();
}

bool DecodeInvokeAnswer(const std::vector<uint8_t>& outData, const uint8_t*& data,
                        uint32_t& count) {
    link::Reader out = OutReader(outData);
    return out.Bytes(data, count, link::MaxDataChunk) && out.Done();
}
