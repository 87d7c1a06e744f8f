// Copies through our rapi.dll to devicesim: every message the engine posts,
// and what ends up on the device, for single files and for lists of them.
#include "app/StatusMessages.h"
#include "device/DeviceConnection.h"
#include "framework/UniqueResource.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/FileTree.h"
#include "tests/support/TempDir.h"
#include "tests/transfer/MessageRecorder.h"
#include "transfer/TransferEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <sstream>

namespace {

using testsupport::DeviceSim;
using testsupport::FileExists;
using testsupport::PatternBytes;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

constexpr uint32_t kBatchBlock = 131072;
constexpr int64_t kAny = -1;
const std::wstring kRoot = L"\\Mounted Volume";

// One expected message; kAny leaves a parameter unchecked (tick counts).
struct Expected {
    UINT id;
    int64_t wParam;
    int64_t lParam;
};

Expected Block(int64_t percent, int64_t bytes) {
    return {UM_BLOCK_COPIED, percent, bytes};
}
const Expected kFileCopied{UM_FILE_COPIED, kAny, 0};
const Expected kCopyStopped{UM_COPY_STOPPED, kAny, 0};
const Expected kAllCopied{UM_ALL_COPIED, kAny, 0};
Expected CopyFailed(int64_t error = kAny) {
    return {UM_COPY_FAILED, kAny, error};
}

const char* Name(UINT id) {
    switch (id) {
    case UM_BLOCK_COPIED:
        return "UM_BLOCK_COPIED";
    case UM_COPY_FAILED:
        return "UM_COPY_FAILED";
    case UM_COPY_STOPPED:
        return "UM_COPY_STOPPED";
    case UM_FILE_COPIED:
        return "UM_FILE_COPIED";
    case UM_ALL_COPIED:
        return "UM_ALL_COPIED";
    default:
        return "other";
    }
}

// Empty when the messages are the expected ones, in order.
std::string Differences(const std::vector<PostedMessage>& actual,
                        const std::vector<Expected>& expected) {
    std::ostringstream out;
    const size_t n = std::max(actual.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        const bool haveActual = i < actual.size();
        const bool haveExpected = i < expected.size();
        bool same = haveActual && haveExpected && actual[i].id == expected[i].id;
        if (same && expected[i].wParam != kAny)
            same = static_cast<int32_t>(actual[i].wParam) == expected[i].wParam;
        if (same && expected[i].lParam != kAny)
            same = static_cast<int64_t>(actual[i].lParam) == expected[i].lParam;
        if (same)
            continue;
        out << "#" << i << ": got ";
        if (haveActual)
            out << Name(actual[i].id) << "(" << static_cast<int32_t>(actual[i].wParam) << ", "
                << static_cast<int64_t>(actual[i].lParam) << ")";
        else
            out << "nothing";
        out << ", expected ";
        if (haveExpected)
            out << Name(expected[i].id) << "(" << expected[i].wParam << ", " << expected[i].lParam
                << ")";
        else
            out << "nothing";
        out << "\n";
    }
    return out.str();
}

// One devicesim per test, with the folder the targets go to. The connection
// is closed at the end so that the next test reaches its own device.
class DeviceCopyTest : public ::testing::Test {
protected:
    void StartDevice(std::vector<std::wstring> options = {}) {
        DeviceConnection::Instance().Disconnect();
        device = std::make_unique<DeviceSim>(std::move(options));
        ASSERT_TRUE(device->Started()) << device->Error();
        ASSERT_TRUE(testsupport::CreateFolders(device->StoragePath(kRoot)));
    }

    void TearDown() override { DeviceConnection::Instance().Disconnect(); }

    std::wstring Source(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = pc / name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    std::wstring OnDevice(const std::wstring& target) { return device->StoragePath(target); }

    // Copies one file with a recorder standing in for the relay thread: the
    // copy returns `result` and posts exactly `messages`. The last error is
    // spoilt first, so an error code reported must be the copy's own.
    void ExpectCopy(const std::wstring& source, const std::wstring& target, uint32_t blockSize,
                    bool result, const std::vector<Expected>& messages) {
        MessageRecorder recorder;
        ASSERT_TRUE(recorder.Start());

        TransferEngine engine;
        ::SetLastError(0xdeadbeef);
        EXPECT_EQ(result,
                  engine.CopyFileToDevice(source, target, blockSize, recorder.ThreadId(), &stop));

        EXPECT_EQ("", Differences(recorder.Finish(), messages));
    }

    testsupport::TempDir pc{L"pelko-xfer"};
    std::unique_ptr<DeviceSim> device;
    volatile uint8_t stop = 0;
};

// ---- Single files copied to the end ----

struct WholeFileCase {
    const char* name;
    size_t size;
    uint32_t blockSize;
    std::vector<Expected> messages;
};

std::ostream& operator<<(std::ostream& out, const WholeFileCase& c) {
    return out << c.name;
}

class WholeFileTest : public DeviceCopyTest,
                      public ::testing::WithParamInterface<std::tuple<WholeFileCase, bool>> {};

// The device file equals the source byte for byte; each block is reported
// with the file's percent (100.0 divided by the size first, then multiplied)
// and the bytes read. Without a thread the copy is the same and silent.
TEST_P(WholeFileTest, CopiesByteForByteAndReportsEachBlock) {
    const WholeFileCase& c = std::get<0>(GetParam());
    const bool withThread = std::get<1>(GetParam());
    StartDevice();
    const std::string bytes = PatternBytes(c.size, 3);
    const std::wstring source = Source(L"source.bin", bytes);
    const std::wstring target = kRoot + L"\\target.bin";
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());

    TransferEngine engine;
    EXPECT_TRUE(engine.CopyFileToDevice(source, target, c.blockSize,
                                        withThread ? recorder.ThreadId() : 0, &stop));

    const auto messages = recorder.Finish();
    ASSERT_TRUE(recorder.Finished());
    EXPECT_EQ("", Differences(messages, withThread ? c.messages : std::vector<Expected>{}));
    ASSERT_TRUE(FileExists(OnDevice(target)));
    EXPECT_TRUE(ReadFileBytes(OnDevice(target)) == bytes) << "device file differs";
    // Both files were closed: the source opens without sharing again.
    EXPECT_TRUE(WriteFileBytes(source, "x"));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WholeFileTest,
    ::testing::Combine(
        ::testing::Values(
            WholeFileCase{"Empty", 0, kBatchBlock, {kFileCopied}},
            // 100.0 / 97 * 97 falls just below 100.
            WholeFileCase{"NinetySevenBytes", 97, kBatchBlock, {Block(99, 97), kFileCopied}},
            WholeFileCase{"ExactlyOneBlock",
                          kBatchBlock,
                          kBatchBlock,
                          {Block(100, kBatchBlock), kFileCopied}},
            WholeFileCase{"OneBlockAndOneByte",
                          kBatchBlock + 1,
                          kBatchBlock,
                          {Block(99, kBatchBlock), Block(100, 1), kFileCopied}},
            WholeFileCase{"ElevenSmallBlocks",
                          10500,
                          1000,
                          {Block(9, 1000), Block(19, 1000), Block(28, 1000), Block(38, 1000),
                           Block(47, 1000), Block(57, 1000), Block(66, 1000), Block(76, 1000),
                           Block(85, 1000), Block(95, 1000), Block(100, 500), kFileCopied}},
            WholeFileCase{"ManyBlocksOfABatch",
                          3 * kBatchBlock + 4321,
                          kBatchBlock,
                          {Block(32, kBatchBlock), Block(65, kBatchBlock), Block(98, kBatchBlock),
                           Block(100, 4321), kFileCopied}}),
        ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "WithThread" : "WithoutThread");
    });

// An existing device file is replaced, not appended to.
TEST_F(DeviceCopyTest, ReplacesAnOlderDeviceFile) {
    StartDevice();
    const std::wstring target = kRoot + L"\\old.bin";
    ASSERT_TRUE(WriteFileBytes(OnDevice(target), PatternBytes(5000, 9)));
    const std::string bytes = PatternBytes(1234, 4);
    TransferEngine engine;
    EXPECT_TRUE(engine.CopyFileToDevice(Source(L"new.bin", bytes), target, 1000, 0, &stop));
    EXPECT_TRUE(ReadFileBytes(OnDevice(target)) == bytes);
}

// ---- Copies that stop or fail ----

struct StopOnEntryCase {
    const char* name;
    size_t size;
    bool result;
    bool deviceFileStays;
    std::vector<Expected> messages;
};

std::ostream& operator<<(std::ostream& out, const StopOnEntryCase& c) {
    return out << c.name;
}

class StopOnEntryTest : public DeviceCopyTest,
                        public ::testing::WithParamInterface<StopOnEntryCase> {};

// The device file is created before the first stop test, so an older file of
// that name is replaced either way; an empty file has no block to stop at.
TEST_P(StopOnEntryTest, StopsBeforeTheFirstBlock) {
    const StopOnEntryCase& c = GetParam();
    StartDevice();
    const std::wstring target = kRoot + L"\\stopped.bin";
    ASSERT_TRUE(WriteFileBytes(OnDevice(target), "an older file"));
    const std::wstring source = Source(L"source.bin", PatternBytes(c.size, 5));
    stop = 1;
    ExpectCopy(source, target, kBatchBlock, c.result, c.messages);
    EXPECT_EQ(c.deviceFileStays, FileExists(OnDevice(target)));
    if (c.deviceFileStays) {
        EXPECT_EQ("", ReadFileBytes(OnDevice(target)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, StopOnEntryTest,
    ::testing::Values(StopOnEntryCase{"NonEmpty", 500, false, false, {kCopyStopped}},
                      StopOnEntryCase{"Empty", 0, true, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A file that is not copied at all is reported, and the device keeps what
// it had.
TEST_F(DeviceCopyTest, MissingSourceIsReportedAndLeavesTheDeviceAlone) {
    StartDevice();
    const std::wstring target = kRoot + L"\\kept.bin";
    ASSERT_TRUE(WriteFileBytes(OnDevice(target), "kept"));
    const auto before = testsupport::ListTree(device->Storage());
    ExpectCopy(pc / L"missing.bin", target, kBatchBlock, false, {CopyFailed(ERROR_FILE_NOT_FOUND)});
    EXPECT_EQ(before, testsupport::ListTree(device->Storage()));
    EXPECT_EQ("kept", ReadFileBytes(OnDevice(target)));
    EXPECT_EQ(std::string::npos, device->LogText().find("kept.bin")) << device->LogText();
}

// A device file that cannot be created is reported the same way; nothing is
// written.
TEST_F(DeviceCopyTest, TargetThatCannotBeCreatedIsReported) {
    StartDevice();
    const std::wstring target = kRoot + L"\\no such folder\\file.bin";
    ExpectCopy(Source(L"source.bin", PatternBytes(100, 2)), target, kBatchBlock, false,
               {CopyFailed()});
    EXPECT_FALSE(testsupport::FolderExists(OnDevice(kRoot + L"\\no such folder")));
}

struct WriteFailureCase {
    const char* name;
    std::vector<std::wstring> deviceOptions;
    std::vector<Expected> messages;
};

std::ostream& operator<<(std::ostream& out, const WriteFailureCase& c) {
    return out << c.name;
}

class WriteFailureTest : public DeviceCopyTest,
                         public ::testing::WithParamInterface<WriteFailureCase> {};

// A failed write abandons the file wherever it happens: in a middle block the
// block is still reported and the abort follows at the next block; in the
// last block the copy is abandoned as well rather than leaving a short file
// reported as copied. Either way the partial device file is deleted.
TEST_P(WriteFailureTest, DeletesThePartialFileAndReportsTheFailure) {
    const WriteFailureCase& c = GetParam();
    StartDevice(c.deviceOptions);
    const std::wstring target = kRoot + L"\\failed.bin";
    const std::wstring source = Source(L"source.bin", PatternBytes(3000, 6));
    ExpectCopy(source, target, 1000, false, c.messages);
    EXPECT_FALSE(FileExists(OnDevice(target)));
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, WriteFailureTest,
    ::testing::Values(
        WriteFailureCase{"MiddleBlock",
                         {L"--fail-write", L"2"},
                         {Block(33, 1000), Block(66, 1000), CopyFailed()}},
        WriteFailureCase{"LastBlock",
                         {L"--fail-write", L"3"},
                         {Block(33, 1000), Block(66, 1000), Block(100, 1000), CopyFailed()}},
        // The device fills up while the last block is written.
        WriteFailureCase{"DeviceFullInLastBlock",
                         {L"--capacity", L"2500"},
                         {Block(33, 1000), Block(66, 1000), Block(100, 1000), CopyFailed()}}),
    [](const auto& info) { return std::string(info.param.name); });

// When the link to the device drops, the copy fails at the block that was
// under way. (The partial file cannot be deleted through the dead link; the
// next run clears it with the other old copies.)
TEST_F(DeviceCopyTest, LinkDropFailsTheCopy) {
    StartDevice({L"--drop-after", L"1500"});
    const std::wstring target = kRoot + L"\\dropped.bin";
    const std::wstring source = Source(L"source.bin", PatternBytes(3000, 8));
    ExpectCopy(source, target, 1000, false, {Block(33, 1000), Block(66, 1000), CopyFailed()});
}

// ---- Lists ----

TEST_F(DeviceCopyTest, EmptyListsReportAllCopiedAtOnce) {
    StartDevice();
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());
    TransferEngine engine;
    engine.CopyListToDevice({}, {}, kBatchBlock, recorder.ThreadId(), &stop);
    EXPECT_EQ("", Differences(recorder.Finish(), {kAllCopied}));
}

// A pair that cannot be copied is reported and the walk goes on; without a
// thread the same files are copied and nothing is posted.
class ListWithMissingSourceTest : public DeviceCopyTest,
                                  public ::testing::WithParamInterface<bool> {};

TEST_P(ListWithMissingSourceTest, CopiesTheOthersAndReportsTheMissingOne) {
    const bool withThread = GetParam();
    StartDevice();
    const std::string first = PatternBytes(1500, 11);
    const std::string third = PatternBytes(700, 13);
    const std::vector<std::wstring> sources{Source(L"first.bin", first), pc / L"second.bin",
                                            Source(L"third.bin", third)};
    const std::vector<std::wstring> targets{kRoot + L"\\first.bin", kRoot + L"\\second.bin",
                                            kRoot + L"\\third.bin"};
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());

    TransferEngine engine;
    engine.CopyListToDevice(sources, targets, 1000, withThread ? recorder.ThreadId() : 0, &stop);

    const std::vector<Expected> expected{
        Block(66, 1000), Block(100, 500), kFileCopied, CopyFailed(ERROR_FILE_NOT_FOUND),
        Block(100, 700), kFileCopied,     kAllCopied};
    EXPECT_EQ("", Differences(recorder.Finish(), withThread ? expected : std::vector<Expected>{}));
    EXPECT_TRUE(ReadFileBytes(OnDevice(targets[0])) == first);
    EXPECT_FALSE(FileExists(OnDevice(targets[1])));
    EXPECT_TRUE(ReadFileBytes(OnDevice(targets[2])) == third);
}

INSTANTIATE_TEST_SUITE_P(Threads, ListWithMissingSourceTest, ::testing::Bool(),
                         [](const auto& info) {
                             return std::string(info.param ? "WithThread" : "WithoutThread");
                         });

// The stop byte is set by the receiving thread when the first block is
// reported; the slow device lets the copy reach only a later loop head of the
// first file. That file is abandoned, the later ones are not touched (their
// older device copies stay as they were) and the list is not reported done.
TEST_F(DeviceCopyTest, StopDuringTheFirstFileEndsTheList) {
    StartDevice({L"--latency-ms", L"20"});
    const std::vector<std::wstring> sources{Source(L"a.bin", PatternBytes(20000, 21)),
                                            Source(L"b.bin", PatternBytes(3000, 22)),
                                            Source(L"c.bin", PatternBytes(3000, 23))};
    const std::vector<std::wstring> targets{kRoot + L"\\a.bin", kRoot + L"\\b.bin",
                                            kRoot + L"\\c.bin"};
    ASSERT_TRUE(WriteFileBytes(OnDevice(targets[1]), "old b"));
    ASSERT_TRUE(WriteFileBytes(OnDevice(targets[2]), "old c"));
    MessageRecorder recorder(&stop);
    ASSERT_TRUE(recorder.Start());

    TransferEngine engine;
    engine.CopyListToDevice(sources, targets, 1000, recorder.ThreadId(), &stop);

    const auto messages = recorder.Finish();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(UM_COPY_STOPPED, messages.back().id);
    for (size_t i = 0; i + 1 < messages.size(); ++i)
        EXPECT_EQ(UM_BLOCK_COPIED, messages[i].id) << "#" << i;
    EXPECT_LT(messages.size() - 1, 20u) << "the stop came too late to be seen mid-file";
    EXPECT_FALSE(FileExists(OnDevice(targets[0])));
    EXPECT_EQ("old b", ReadFileBytes(OnDevice(targets[1])));
    EXPECT_EQ("old c", ReadFileBytes(OnDevice(targets[2])));
}

// ---- A file beyond 4 GiB ----

// Makes a sparse file of `size` bytes whose first and last 4096 bytes are the
// pattern; the rest reads as zeros.
bool WriteSparseFile(const std::wstring& path, uint64_t size, const std::string& edge) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size - edge.size());
    return file.valid() &&
           ::WriteFile(file.get(), edge.data(), static_cast<DWORD>(edge.size()), &written,
                       nullptr) &&
           ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
           ::WriteFile(file.get(), edge.data(), static_cast<DWORD>(edge.size()), &written, nullptr);
}

// The first and last `n` bytes of a file, and its size.
bool ReadEdges(const std::wstring& path, size_t n, uint64_t& size, std::string& head,
               std::string& tail) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{}, at{};
    head.assign(n, '\0');
    tail.assign(n, '\0');
    DWORD read = 0;
    if (!file.valid() || !::GetFileSizeEx(file.get(), &length) ||
        !::ReadFile(file.get(), &head[0], static_cast<DWORD>(n), &read, nullptr))
        return false;
    size = static_cast<uint64_t>(length.QuadPart);
    at.QuadPart = length.QuadPart - static_cast<LONGLONG>(n);
    return ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
           ::ReadFile(file.get(), &tail[0], static_cast<DWORD>(n), &read, nullptr);
}

// Copies 5 GiB and a block through the emulated link. It takes about two
// minutes and 5 GiB of disk, too much for every run: bench/transfer_large_file.sh
// runs it. PELKO_LARGE_FILE_MIB sets another size.
TEST_F(DeviceCopyTest, DISABLED_CopiesAFileBeyondFourGiBWhole) {
    uint64_t size = (uint64_t{5} << 30) + kBatchBlock + 1;
    wchar_t mib[32];
    if (::GetEnvironmentVariableW(L"PELKO_LARGE_FILE_MIB", mib, 32) > 0)
        size = (std::wcstoull(mib, nullptr, 10) << 20) + kBatchBlock + 1;
    StartDevice();
    const std::wstring source = pc / L"large.bin";
    const std::string edge = PatternBytes(4096, 31);
    ASSERT_TRUE(WriteSparseFile(source, size, edge));
    const std::wstring target = kRoot + L"\\large.bin";
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());

    const DWORD started = ::GetTickCount();
    TransferEngine engine;
    EXPECT_TRUE(engine.CopyFileToDevice(source, target, kBatchBlock, recorder.ThreadId(), &stop));
    const DWORD elapsed = ::GetTickCount() - started;

    const auto messages = recorder.Finish();
    uint64_t blocks = 0, bytes = 0;
    int32_t lastPercent = -1;
    bool rising = true;
    for (const auto& m : messages) {
        if (m.id != UM_BLOCK_COPIED)
            continue;
        ++blocks;
        bytes += static_cast<uint64_t>(m.lParam);
        rising = rising && static_cast<int32_t>(m.wParam) >= lastPercent;
        lastPercent = static_cast<int32_t>(m.wParam);
    }
    EXPECT_EQ((size + kBatchBlock - 1) / kBatchBlock, blocks);
    EXPECT_EQ(size, bytes);
    EXPECT_TRUE(rising);
    // The last block reports the end of the file, which may fall just below
    // 100 as with 97 bytes.
    EXPECT_EQ(static_cast<int32_t>((100.0 / static_cast<double>(size)) * static_cast<double>(size)),
              lastPercent);
    EXPECT_GE(lastPercent, 99);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(UM_FILE_COPIED, messages.back().id);
    uint64_t deviceSize = 0;
    std::string head, tail;
    ASSERT_TRUE(ReadEdges(OnDevice(target), edge.size(), deviceSize, head, tail));
    EXPECT_EQ(size, deviceSize);
    EXPECT_TRUE(head == edge && tail == edge);
    std::printf("%llu bytes in %lu ms\n", static_cast<unsigned long long>(size),
                static_cast<unsigned long>(elapsed));
}

} // namespace
