// The portable readings of what crosses the link, as the programs run them:
// the frame splitting, devicesim's requests and path checks, and rapi.dll's
// answers. The native fuzzers (tests/fuzz) drive the same code; inputs they
// found are kept here as cases too.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emulator/device/DevicePath.h"
#include "emulator/device/DeviceRequest.h"
#include "emulator/link/FrameDecoder.h"
#include "emulator/link/LinkProtocol.h"
#include "emulator/rapi/DeviceAnswer.h"

using link::Op;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload) {
    link::Writer w;
    w.U32(static_cast<uint32_t>(payload.size()));
    w.Append(payload);
    return w.Data();
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Words(std::initializer_list<uint32_t> words) {
    link::Writer w;
    for (uint32_t v : words)
        w.U32(v);
    return w.Data();
}

// A payload made by the writer's calls in `build`.
Bytes Payload(const std::function<void(link::Writer&)>& build) {
    link::Writer w;
    build(w);
    return w.Data();
}

uint32_t OpValue(Op op) {
    return static_cast<uint32_t>(op);
}

TEST(FrameDecoder, SplitsAStreamIntoItsFramesWhateverThePiecesItArrivesIn) {
    const std::vector<Bytes> frames = {
        Words({1, link::LinkMagic, link::LinkVersion}), {}, Bytes(300, 0xAB), {7}};
    Bytes stream;
    for (const auto& f : frames)
        stream = Join({stream, Frame(f)});
    for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{64}, stream.size()}) {
        SCOPED_TRACE(testing::Message() << "pieces of " << piece << " bytes");
        link::FrameDecoder decoder;
        std::vector<Bytes> got;
        size_t at = 0;
        while (at < stream.size()) {
            size_t offered = std::min(piece, stream.size() - at);
            size_t used = decoder.Feed(stream.data() + at, offered);
            ASSERT_NE(link::FrameDecoder::State::Oversized, decoder.Current());
            if (decoder.Current() == link::FrameDecoder::State::Partial) {
                EXPECT_EQ(offered, used);
            }
            if (decoder.Current() == link::FrameDecoder::State::Whole)
                got.push_back(decoder.Take());
            at += used;
        }
        EXPECT_EQ(frames, got);
        EXPECT_FALSE(decoder.Started());
        EXPECT_EQ(4u, decoder.Wanted());
    }
}

TEST(FrameDecoder, EndsInTheStateItsBytesLeaveIt) {
    struct Case {
        const char* name;
        Bytes stream;
        link::FrameDecoder::State state;
        size_t wanted;
        size_t used;
    } cases[] = {
        {"length cut short", {5, 0}, link::FrameDecoder::State::Partial, 2, 2},
        {"payload cut short", Join({Words({5}), {1, 2}}), link::FrameDecoder::State::Partial, 3, 6},
        {"largest length", Words({link::MaxFramePayload}), link::FrameDecoder::State::Partial,
         link::MaxFramePayload, 4},
        {"oversized length", Join({Words({link::MaxFramePayload + 1}), {1, 2, 3}}),
         link::FrameDecoder::State::Oversized, 0, 4},
        {"4 GiB length", Words({0xFFFFFFFF}), link::FrameDecoder::State::Oversized, 0, 4},
        {"empty frame, then the next", Join({Words({0}), {9}}), link::FrameDecoder::State::Whole, 0,
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link::FrameDecoder decoder;
        EXPECT_EQ(c.used, decoder.Feed(c.stream.data(), c.stream.size()));
        EXPECT_EQ(c.state, decoder.Current());
        EXPECT_EQ(c.wanted, decoder.Wanted());
        EXPECT_TRUE(decoder.Started());
        if (c.state == link::FrameDecoder::State::Oversized) {
            // Nothing more is taken once the connection is to close.
            EXPECT_EQ(0u, decoder.Feed(c.stream.data(), c.stream.size()));
            EXPECT_TRUE(decoder.Take().empty());
        }
    }
}

// One well-formed request of every operation.
struct RequestCase {
    const char* name;
    Bytes payload;
};

std::vector<RequestCase> EveryRequest() {
    const std::wstring path = L"\\Mounted Volume\\a.txt";
    auto request = [](Op op, const std::function<void(link::Writer&)>& args) {
        return Payload([&](link::Writer& w) {
            w.U32(OpValue(op));
            args(w);
        });
    };
    return {
        {"CreateFile", request(Op::CreateFile,
                               [&](link::Writer& w) {
                                   w.String(path);
                                   for (uint32_t v : {0x40000000u, 0u, 2u, 0x80u})
                                       w.U32(v);
                               })},
        {"CloseHandle", request(Op::CloseHandle, [](link::Writer& w) { w.U32(1); })},
        {"WriteFile", request(Op::WriteFile,
                              [](link::Writer& w) {
                                  w.U32(1);
                                  w.Bytes("abc", 3);
                              })},
        {"ReadFile", request(Op::ReadFile,
                             [](link::Writer& w) {
                                 w.U32(1);
                                 w.U32(link::MaxDataChunk);
                             })},
        {"GetFileSize", request(Op::GetFileSize, [](link::Writer& w) { w.U32(1); })},
        {"SetFileAttributes", request(Op::SetFileAttributes,
                                      [&](link::Writer& w) {
                                          w.String(path);
                                          w.U32(1);
                                      })},
        {"GetFileAttributes",
         request(Op::GetFileAttributes, [&](link::Writer& w) { w.String(path); })},
        {"DeleteFile", request(Op::DeleteFile, [&](link::Writer& w) { w.String(path); })},
        {"MoveFile", request(Op::MoveFile,
                             [&](link::Writer& w) {
                                 w.String(path);
                                 w.String(L"\\b");
                             })},
        {"CreateDirectory", request(Op::CreateDirectory, [&](link::Writer& w) { w.String(path); })},
        {"RemoveDirectory", request(Op::RemoveDirectory, [&](link::Writer& w) { w.String(path); })},
        {"FindFirstFile", request(Op::FindFirstFile, [&](link::Writer& w) { w.String(L"\\*"); })},
        {"FindNextFile", request(Op::FindNextFile, [](link::Writer& w) { w.U32(2); })},
        {"FindClose", request(Op::FindClose, [](link::Writer& w) { w.U32(2); })},
        {"FindAllFiles", request(Op::FindAllFiles,
                                 [&](link::Writer& w) {
                                     w.String(L"\\*");
                                     w.U32(0);
                                 })},
        {"GetStoreInformation", request(Op::GetStoreInformation, [](link::Writer&) {})},
        {"GetVersionEx", request(Op::GetVersionEx, [](link::Writer&) {})},
        {"Invoke", request(Op::Invoke,
                           [](link::Writer& w) {
                               w.String(L"\\insthelp.dll");
                               w.String(L"InvkFreeDiskSpace");
                               w.Bytes("\0\0", 2);
                           })},
        {"CreateProcess", request(Op::CreateProcess,
                                  [](link::Writer& w) {
                                      w.String(L"\\app.exe");
                                      w.String(std::wstring(link::MaxCommandLineUnits, L'x'));
                                  })},
    };
}

TEST(DeviceRequest, EveryOperationIsReadWholeAndNoFurther) {
    for (const auto& c : EveryRequest()) {
        SCOPED_TRACE(c.name);
        DeviceRequest r;
        ASSERT_TRUE(DecodeDeviceRequest(c.payload.data(), c.payload.size(), r));
        EXPECT_STREQ(c.name, link::OpName(r.op));
        for (size_t cut = 0; cut < c.payload.size(); ++cut) {
            DeviceRequest cutShort;
            EXPECT_FALSE(DecodeDeviceRequest(c.payload.data(), cut, cutShort)) << cut;
        }
        Bytes longer = Join({c.payload, {0}});
        EXPECT_FALSE(DecodeDeviceRequest(longer.data(), longer.size(), r));
    }
}

TEST(DeviceRequest, HoldsTheArgumentsAsSent) {
    const auto requests = EveryRequest();
    DeviceRequest create, write, move;
    ASSERT_TRUE(
        DecodeDeviceRequest(requests[0].payload.data(), requests[0].payload.size(), create));
    EXPECT_EQ(L"\\Mounted Volume\\a.txt", create.path);
    EXPECT_EQ(0x40000000u, create.access);
    EXPECT_EQ(2u, create.disposition);
    EXPECT_EQ(0x80u, create.attributes);
    ASSERT_TRUE(DecodeDeviceRequest(requests[2].payload.data(), requests[2].payload.size(), write));
    ASSERT_EQ(3u, write.dataSize);
    EXPECT_EQ(requests[2].payload.data() + 12, write.data); // inside the payload
    ASSERT_TRUE(DecodeDeviceRequest(requests[8].payload.data(), requests[8].payload.size(), move));
    EXPECT_EQ(L"\\b", move.newPath);
}

TEST(DeviceRequest, RefusesWhatBreaksALimit) {
    auto pathRequest = [](const std::wstring& path) {
        return Payload([&](link::Writer& w) {
            w.U32(OpValue(Op::DeleteFile));
            w.String(path);
        });
    };
    const RequestCase cases[] = {
        {"no operation", {}},
        {"the handshake after the handshake", Words({1, link::LinkMagic, link::LinkVersion})},
        {"operation 0", Words({0})},
        {"the first value that is no operation", Words({OpValue(Op::Count)})},
        {"read above the data limit", Words({OpValue(Op::ReadFile), 1, link::MaxDataChunk + 1})},
        {"write above the data limit",
         Join({Words({OpValue(Op::WriteFile), 1, link::MaxDataChunk + 1}),
               Bytes(link::MaxDataChunk + 1)})},
        {"path above the limit", pathRequest(std::wstring(link::MaxPathUnits + 1, L'a'))},
        {"zero unit in a path", pathRequest(std::wstring(L"\\a\0b", 4))},
        {"export name above the limit", Payload([](link::Writer& w) {
             w.U32(OpValue(Op::Invoke));
             w.String(L"\\x.dll");
             w.String(std::wstring(link::MaxNameUnits + 1, L'f'));
             w.Bytes(nullptr, 0);
         })},
        {"command line above the limit", Payload([](link::Writer& w) {
             w.U32(OpValue(Op::CreateProcess));
             w.String(L"\\app.exe");
             w.String(std::wstring(link::MaxCommandLineUnits + 1, L'x'));
         })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceRequest r;
        EXPECT_FALSE(DecodeDeviceRequest(c.payload.data(), c.payload.size(), r));
    }
}

TEST(DeviceRequest, HandshakeNeedsTheMagicAndNothingMore) {
    uint32_t version = 0;
    Bytes hello = Words({OpValue(Op::Hello), link::LinkMagic, 7});
    EXPECT_TRUE(DecodeDeviceHello(hello.data(), hello.size(), version));
    EXPECT_EQ(7u, version);
    for (const Bytes& bad : {Words({OpValue(Op::Hello), 0x12345678, 1}),
                             Words({OpValue(Op::CreateFile), link::LinkMagic, 1}),
                             Words({OpValue(Op::Hello), link::LinkMagic}),
                             Words({OpValue(Op::Hello), link::LinkMagic, 1, 0})})
        EXPECT_FALSE(DecodeDeviceHello(bad.data(), bad.size(), version));
}

TEST(DeviceAnswer, CarriesResultLastErrorAndOutDataOfTheOperationSent) {
    Bytes answer = Words({OpValue(Op::WriteFile), 1, 183, 5});
    DeviceAnswer a;
    ASSERT_TRUE(DecodeDeviceAnswer(answer.data(), answer.size(), OpValue(Op::WriteFile), a));
    EXPECT_EQ(1u, a.result);
    EXPECT_EQ(183u, a.lastError);
    EXPECT_EQ(Words({5}), a.outData);
    EXPECT_FALSE(DecodeDeviceAnswer(answer.data(), answer.size(), OpValue(Op::ReadFile), a));
    EXPECT_FALSE(DecodeDeviceAnswer(answer.data(), 11, OpValue(Op::WriteFile), a));

    Bytes hello = Words({OpValue(Op::Hello), 1, 0, link::LinkVersion});
    EXPECT_TRUE(DecodeHelloAnswer(hello.data(), hello.size()));
    for (const Bytes& bad : {Words({OpValue(Op::Hello), 0, 0, link::LinkVersion}),
                             Words({OpValue(Op::Hello), 1, 0, link::LinkVersion + 1}),
                             Words({OpValue(Op::Hello), 1, 0}),
                             Words({OpValue(Op::Hello), 1, 0, link::LinkVersion, 0})})
        EXPECT_FALSE(DecodeHelloAnswer(bad.data(), bad.size()));
}

link::FindRecord Record(const std::wstring& name) {
    link::FindRecord r;
    r.attributes = 0x20;
    r.sizeLow = 1234;
    r.name = name;
    return r;
}

TEST(DeviceAnswer, EveryOutDataIsReadWholeAndNoFurther) {
    struct Case {
        const char* name;
        Bytes outData;
        std::function<bool(const Bytes&)> decode;
    } cases[] = {
        {"WriteFile", Words({5}),
         [](const Bytes& d) {
             uint32_t n = 0;
             return DecodeWriteAnswer(d, 5, n) && n == 5;
         }},
        {"ReadFile", Payload([](link::Writer& w) { w.Bytes("data", 4); }),
         [](const Bytes& d) {
             const uint8_t* p = nullptr;
             uint32_t n = 0;
             return DecodeReadAnswer(d, 4, p, n) && n == 4 && p == d.data() + 4;
         }},
        {"GetFileSize", Words({1}),
         [](const Bytes& d) {
             uint32_t high = 0;
             return DecodeFileSizeAnswer(d, high) && high == 1;
         }},
        {"FindFirstFile", Payload([](link::Writer& w) { link::PutFindRecord(w, Record(L"a")); }),
         [](const Bytes& d) {
             link::FindRecord r;
             return DecodeFindAnswer(d, r) && r.name == L"a" && r.sizeLow == 1234;
         }},
        {"FindAllFiles", Payload([](link::Writer& w) {
             w.U32(2);
             link::PutFindRecord(w, Record(L"a"));
             link::PutFindRecord(w, Record(L""));
         }),
         [](const Bytes& d) {
             std::vector<link::FindRecord> r;
             return DecodeFindAllAnswer(d, r) && r.size() == 2 && r[0].name == L"a";
         }},
        {"GetStoreInformation", Payload([](link::Writer& w) {
             w.U64(1ull << 40);
             w.U64(5);
         }),
         [](const Bytes& d) {
             uint64_t total = 0, freeBytes = 0;
             return DecodeStoreAnswer(d, total, freeBytes) && total == 1ull << 40 && freeBytes == 5;
         }},
        {"GetVersionEx", Payload([](link::Writer& w) {
             for (uint32_t v : {5u, 0u, 1400u, 3u})
                 w.U32(v);
             w.String(std::wstring(MaxVersionTextUnits, L'v'));
         }),
         [](const Bytes& d) {
             VersionAnswer v;
             return DecodeVersionAnswer(d, v) && v.build == 1400 &&
                    v.text.size() == MaxVersionTextUnits;
         }},
        {"Invoke", Payload([](link::Writer& w) { w.Bytes("1\0", 2); }),
         [](const Bytes& d) {
             const uint8_t* p = nullptr;
             uint32_t n = 0;
             return DecodeInvokeAnswer(d, p, n) && n == 2;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.decode(c.outData));
        for (size_t cut = 0; cut < c.outData.size(); ++cut)
            EXPECT_FALSE(c.decode(Bytes(c.outData.begin(), c.outData.begin() + cut))) << cut;
        EXPECT_FALSE(c.decode(Join({c.outData, {0}})));
    }
}

TEST(DeviceAnswer, RefusesMoreThanWasAskedOrTheBytesCanHold) {
    uint32_t written = 0;
    EXPECT_FALSE(DecodeWriteAnswer(Words({6}), 5, written));
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    Bytes fiveBytes = Payload([](link::Writer& w) { w.Bytes("12345", 5); });
    EXPECT_FALSE(DecodeReadAnswer(fiveBytes, 4, data, count));
    std::vector<link::FindRecord> records;
    for (uint32_t n : {1u, MaxFindAllRecords, MaxFindAllRecords + 1, 0xFFFFFFFFu})
        EXPECT_FALSE(DecodeFindAllAnswer(Words({n}), records)) << n;
    VersionAnswer version;
    EXPECT_FALSE(DecodeVersionAnswer(Payload([](link::Writer& w) {
                                         for (int i = 0; i < 4; ++i)
                                             w.U32(0);
                                         w.String(std::wstring(MaxVersionTextUnits + 1, L'v'));
                                     }),
                                     version));
}

TEST(DevicePath, AcceptsOnlyPathsThatStayBelowTheStorage) {
    const std::wstring root = L"C:\\storage";
    struct Case {
        const wchar_t* path;
        bool pattern;
        PathVerdict verdict;
        const wchar_t* pcPath; // when accepted
    } cases[] = {
        {L"\\", false, PathVerdict::Accepted, L"C:\\storage"},
        {L"\\Mounted Volume\\", false, PathVerdict::Accepted, L"C:\\storage\\Mounted Volume"},
        {L"\\a\\b.txt", false, PathVerdict::Accepted, L"C:\\storage\\a\\b.txt"},
        {L"\\a\\*.txt", true, PathVerdict::Accepted, L"C:\\storage\\a\\*.txt"},
        {L"\\a\\com10", false, PathVerdict::Accepted, L"C:\\storage\\a\\com10"},
        {L"\\a\\*.txt", false, PathVerdict::InvalidName, nullptr},
        {L"\\a*\\b", true, PathVerdict::InvalidName, nullptr},
        {L"", false, PathVerdict::InvalidName, nullptr},
        {L"a.txt", false, PathVerdict::InvalidName, nullptr},
        {L"C:\\x", false, PathVerdict::InvalidName, nullptr},
        {L"\\\\server\\x", false, PathVerdict::InvalidName, nullptr},
        {L"\\a\\\\b", false, PathVerdict::InvalidName, nullptr},
        {L"\\a/b", false, PathVerdict::InvalidName, nullptr},
        {L"\\a\\x.", false, PathVerdict::InvalidName, nullptr},
        {L"\\a\\x ", false, PathVerdict::InvalidName, nullptr},
        {L"\\a\\CoM1.txt", false, PathVerdict::InvalidName, nullptr},
        {L"\\a\\nul .txt", false, PathVerdict::InvalidName, nullptr},
        {L"\\a\\x\x1f", false, PathVerdict::InvalidName, nullptr},
        {L"\\..\\x", false, PathVerdict::AccessDenied, nullptr},
        {L"\\a\\.", false, PathVerdict::AccessDenied, nullptr},
        {L"\\a:stream", false, PathVerdict::AccessDenied, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "path of " << wcslen(c.path) << " units, case " << (&c - cases));
        MappedPath mapped;
        EXPECT_EQ(c.verdict, MapDevicePath(root, c.path, c.pattern, mapped));
        EXPECT_EQ(c.pcPath ? c.pcPath : L"", mapped.pcPath);
    }
    MappedPath mapped;
    const std::wstring longest = L"\\" + std::wstring(MaxDevicePathUnits - 1, L'x');
    EXPECT_EQ(PathVerdict::Accepted, MapDevicePath(root, longest, false, mapped));
    EXPECT_EQ(PathVerdict::TooLong, MapDevicePath(root, longest + L"x", false, mapped));
}

} // namespace
