// rapi.dll's reading of the device's answers: the first byte chooses the
// reading, the next four its parameter (the operation sent, or the chunk
// asked for), the rest is the answer. Whatever is accepted keeps its limits
// and is exactly what the device's encoding of those values gives.
#include <vector>

#include "emulator/link/LinkProtocol.h"
#include "emulator/rapi/DeviceAnswer.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

enum class Reading : uint8_t {
    Header,
    Hello,
    Write,
    Read,
    FileSize,
    Find,
    FindAll,
    Store,
    Version,
    Invoke,
    SharedLink,
    Count
};

bool Inside(const uint8_t* p, uint32_t count, const std::vector<uint8_t>& block) {
    return count == 0 || (p >= block.data() && p + count <= block.data() + block.size());
}

bool Keeps(const link::FindRecord& r) {
    return r.name.size() <= link::MaxNameUnits && r.name.find(L'\0') == std::wstring::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    const auto reading = static_cast<Reading>(data[0] % static_cast<uint8_t>(Reading::Count));
    const uint32_t parameter =
        static_cast<uint32_t>(data[1]) | static_cast<uint32_t>(data[2]) << 8 |
        static_cast<uint32_t>(data[3]) << 16 | static_cast<uint32_t>(data[4]) << 24;
    // An exact copy, so that a read past the answer is caught.
    const std::vector<uint8_t> answer(data + 5, data + size);
    link::Writer w;
    bool accepted = false;
    switch (reading) {
    case Reading::Header: {
        DeviceAnswer a;
        accepted = DecodeDeviceAnswer(answer.data(), answer.size(), parameter, a);
        if (accepted) {
            w.U32(parameter);
            w.U32(a.result);
            w.U32(a.lastError);
            w.Append(a.outData);
        }
        break;
    }
    case Reading::Hello:
        accepted = DecodeHelloAnswer(answer.data(), answer.size());
        if (accepted) {
            w.U32(static_cast<uint32_t>(link::Op::Hello));
            w.U32(1);
            w.U32(static_cast<uint32_t>(answer[8]) | static_cast<uint32_t>(answer[9]) << 8 |
                  static_cast<uint32_t>(answer[10]) << 16 |
                  static_cast<uint32_t>(answer[11]) << 24);
            w.U32(link::LinkVersion);
        }
        break;
    case Reading::Write: {
        uint32_t written = 0;
        accepted = DecodeWriteAnswer(answer, parameter, written);
        if (accepted) {
            PELKO_FUZZ_CHECK(written <= parameter);
            w.U32(written);
        }
        break;
    }
    case Reading::Read:
    case Reading::Invoke: {
        const uint8_t* block = nullptr;
        uint32_t count = 0;
        accepted = reading == Reading::Read ? DecodeReadAnswer(answer, parameter, block, count)
                                            : DecodeInvokeAnswer(answer, block, count);
        if (accepted) {
            PELKO_FUZZ_CHECK(count <= (reading == Reading::Read ? parameter : link::MaxDataChunk));
            PELKO_FUZZ_CHECK(Inside(block, count, answer));
            w.Bytes(block, count);
        }
        break;
    }
    case Reading::FileSize: {
        uint32_t high = 0;
        accepted = DecodeFileSizeAnswer(answer, high);
        if (accepted)
            w.U32(high);
        break;
    }
    case Reading::Find: {
        link::FindRecord record;
        accepted = DecodeFindAnswer(answer, record);
        if (accepted) {
            PELKO_FUZZ_CHECK(Keeps(record));
            link::PutFindRecord(w, record);
        }
        break;
    }
    case Reading::FindAll: {
        std::vector<link::FindRecord> records;
        accepted = DecodeFindAllAnswer(answer, records);
        if (accepted) {
            PELKO_FUZZ_CHECK(records.size() <= MaxFindAllRecords);
            w.U32(static_cast<uint32_t>(records.size()));
            for (const auto& r : records) {
                PELKO_FUZZ_CHECK(Keeps(r));
                link::PutFindRecord(w, r);
            }
        }
        break;
    }
    case Reading::Store: {
        uint64_t total = 0, freeBytes = 0;
        accepted = DecodeStoreAnswer(answer, total, freeBytes);
        if (accepted) {
            w.U64(total);
            w.U64(freeBytes);
        }
        break;
    }
    case Reading::Version: {
        VersionAnswer v;
        accepted = DecodeVersionAnswer(answer, v);
        if (accepted) {
            PELKO_FUZZ_CHECK(v.text.size() <= MaxVersionTextUnits &&
                             v.text.find(L'\0') == std::wstring::npos);
            w.U32(v.major);
            w.U32(v.minor);
            w.U32(v.build);
            w.U32(v.platform);
            w.String(v.text);
        }
        break;
    }
    case Reading::SharedLink: {
        std::wstring name;
        accepted = DecodeSharedLinkAnswer(answer, name);
        if (accepted) {
            PELKO_FUZZ_CHECK(!name.empty() && name.size() <= link::MaxSharedLinkNameUnits &&
                             name.find(L'\0') == std::wstring::npos);
            w.String(name);
        }
        break;
    }
    case Reading::Count:
        break;
    }
    if (accepted)
        PELKO_FUZZ_CHECK(w.Data() == answer);
    return 0;
}
