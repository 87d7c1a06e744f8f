// Copies to a scripted device: the failures that devicesim cannot produce on
// request (a write that reports fewer bytes than it was given, a device that
// never answers) and the refusals that happen before the device is touched.
#include "app/StatusMessages.h"
#include "device/DeviceConnection.h"
#include "device/RapiLibrary.h"
#include "framework/UniqueResource.h"
#include "tests/support/FileTree.h"
#include "tests/support/TempDir.h"
#include "tests/transfer/MessageRecorder.h"
#include "tests/transfer/ScriptedRapi.h"
#include "transfer/TransferEngine.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kTarget = L"\\Mounted Volume\\scripted.bin";

template <typename Fn> Fn Export(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

std::vector<UINT> Ids(const std::vector<PostedMessage>& messages) {
    std::vector<UINT> ids;
    for (const auto& m : messages)
        ids.push_back(m.id);
    return ids;
}

class ScriptedDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The same module that DeviceConnection loads: the one beside the test.
        library.reset(::LoadLibraryW(RapiLibraryPath().c_str()));
        ASSERT_TRUE(library.valid());
        reset = Export<PFN_ScriptedRapiReset>(library.get(), "ScriptedRapiReset");
        openFiles = Export<PFN_ScriptedRapiOpenFiles>(library.get(), "ScriptedRapiOpenFiles");
        creates = Export<PFN_ScriptedRapiCreates>(library.get(), "ScriptedRapiCreates");
        writes = Export<PFN_ScriptedRapiWrites>(library.get(), "ScriptedRapiWrites");
        deleted = Export<PFN_ScriptedRapiDeleted>(library.get(), "ScriptedRapiDeleted");
        ASSERT_TRUE(reset && openFiles && creates && writes && deleted)
            << "the scripted rapi.dll must be the one loaded";
        reset(S_OK, 0);
        stopAt = Export<PFN_ScriptedRapiStopAt>(library.get(), "ScriptedRapiStopAt");
        ASSERT_TRUE(stopAt != nullptr);
        ASSERT_FALSE(folder.Path().empty());
    }

    void TearDown() override { DeviceConnection::Instance().Disconnect(); }

    std::wstring Deleted() {
        WCHAR text[1024];
        deleted(text, 1024);
        return text;
    }

    std::wstring Source(size_t size) {
        const std::wstring path = folder / L"source.bin";
        EXPECT_TRUE(testsupport::WriteFileBytes(path, testsupport::PatternBytes(size, 7)));
        return path;
    }

    testsupport::TempDir folder{L"pelko-xfer"};
    UniqueModule library;
    PFN_ScriptedRapiReset reset = nullptr;
    PFN_ScriptedRapiStopAt stopAt = nullptr;
    PFN_ScriptedRapiOpenFiles openFiles = nullptr;
    PFN_ScriptedRapiCreates creates = nullptr;
    PFN_ScriptedRapiWrites writes = nullptr;
    PFN_ScriptedRapiDeleted deleted = nullptr;
    volatile uint8_t stop = 0;
};

// A copy of three blocks of 1000 bytes that the script breaks off in one of
// them.
struct BlockCase {
    const char* name;
    DWORD block; // 1 to 3
};

std::ostream& operator<<(std::ostream& out, const BlockCase& c) {
    return out << c.name;
}

const BlockCase MiddleAndLastBlock[] = {{"MiddleBlock", 2}, {"LastBlock", 3}};

std::string BlockName(const ::testing::TestParamInfo<BlockCase>& info) {
    return info.param.name;
}

class BrokenOffCopyTest : public ScriptedDeviceTest,
                          public ::testing::WithParamInterface<BlockCase> {
protected:
    // Copies the three blocks, which the script breaks off in GetParam().block:
    // the copy fails, that many blocks are reported and written, then
    // `ending`; the partial device file is deleted and none is left open.
    void CopyBrokenOff(UINT ending, MessageRecorder& recorder,
                       std::vector<PostedMessage>& messages) {
        const DWORD block = GetParam().block;
        const std::wstring source = Source(3000);
        ASSERT_TRUE(recorder.Start());

        TransferEngine engine;
        EXPECT_FALSE(engine.CopyFileToDevice(source, kTarget, 1000, recorder.ThreadId(), &stop));

        messages = recorder.Finish();
        std::vector<UINT> expected(block, UM_BLOCK_COPIED);
        expected.push_back(ending);
        EXPECT_EQ(expected, Ids(messages));
        EXPECT_EQ(block, writes());
        EXPECT_EQ(kTarget + L"\n", Deleted());
        EXPECT_EQ(0, openFiles());
    }
};

class ShortWriteTest : public BrokenOffCopyTest {};

// A write that takes fewer bytes than it was given loses data: the copy is
// abandoned like after a failed write, in a middle block and in the last one.
TEST_P(ShortWriteTest, CountsAsAFailedWrite) {
    const DWORD block = GetParam().block;
    reset(S_OK, block);
    MessageRecorder recorder;
    std::vector<PostedMessage> messages;
    ASSERT_NO_FATAL_FAILURE(CopyBrokenOff(UM_COPY_FAILED, recorder, messages));
    ASSERT_TRUE(recorder.Finished());
    ASSERT_GE(messages.size(), block);
    EXPECT_EQ(1000, messages[block - 1].lParam);
}

INSTANTIATE_TEST_SUITE_P(Blocks, ShortWriteTest, ::testing::ValuesIn(MiddleAndLastBlock),
                         BlockName);

class StopWhileWritingTest : public BrokenOffCopyTest {};

// A stop asked for while a block is written is seen after that block has been
// reported; in the last block too, so that a stopped copy never counts as
// complete.
TEST_P(StopWhileWritingTest, AbandonsTheFileAfterThatBlock) {
    stopAt(&stop, GetParam().block, FALSE);
    MessageRecorder recorder;
    std::vector<PostedMessage> messages;
    CopyBrokenOff(UM_COPY_STOPPED, recorder, messages);
}

INSTANTIATE_TEST_SUITE_P(Blocks, StopWhileWritingTest, ::testing::ValuesIn(MiddleAndLastBlock),
                         BlockName);

struct RefusalCase {
    const char* name;
    HRESULT initResult;
    uint32_t blockSize;
    DWORD error; // 0: not checked
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) {
    return out << c.name;
}

class NotCopiedTest : public ScriptedDeviceTest,
                      public ::testing::WithParamInterface<RefusalCase> {};

// A file that is never begun is still a failure the thread hears of; the
// device is not touched.
TEST_P(NotCopiedTest, PostsCopyFailedAndLeavesTheDeviceAlone) {
    const RefusalCase& c = GetParam();
    DeviceConnection::Instance().Disconnect();
    reset(c.initResult, 0);
    const std::wstring source = Source(2500);
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());

    TransferEngine engine;
    EXPECT_FALSE(engine.CopyFileToDevice(source, kTarget, c.blockSize, recorder.ThreadId(), &stop));

    const auto messages = recorder.Finish();
    ASSERT_EQ(std::vector<UINT>{UM_COPY_FAILED}, Ids(messages));
    if (c.error != 0) {
        EXPECT_EQ(static_cast<LPARAM>(c.error), messages[0].lParam);
    }
    EXPECT_EQ(0u, creates());
    EXPECT_EQ(0u, writes());
    EXPECT_EQ(L"", Deleted());
    // The PC file was closed again: it can be opened without sharing.
    UniqueFile again(::CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(again.valid());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, NotCopiedTest,
    ::testing::Values(RefusalCase{"NoDeviceAnswers", E_FAIL, 1000, 0},
                      // A block size of 0 would never advance through the file.
                      RefusalCase{"ZeroBlockSize", S_OK, 0, ERROR_INVALID_PARAMETER}),
    [](const auto& info) { return std::string(info.param.name); });

// A source without a target is not copied, and the thread hears of it; the
// pairs before it are copied as usual.
TEST_F(ScriptedDeviceTest, SourceWithoutTargetIsAFailedFile) {
    const std::wstring first = folder / L"first.bin";
    const std::wstring second = folder / L"second.bin";
    ASSERT_TRUE(testsupport::WriteFileBytes(first, testsupport::PatternBytes(10, 1)));
    ASSERT_TRUE(testsupport::WriteFileBytes(second, testsupport::PatternBytes(10, 2)));
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());

    TransferEngine engine;
    engine.CopyListToDevice({first, second}, {kTarget}, 1000, recorder.ThreadId(), &stop);

    const auto messages = recorder.Finish();
    const std::vector<UINT> expected{UM_BLOCK_COPIED, UM_FILE_COPIED, UM_COPY_FAILED,
                                     UM_ALL_COPIED};
    ASSERT_EQ(expected, Ids(messages));
    EXPECT_EQ(static_cast<LPARAM>(ERROR_INVALID_PARAMETER), messages[2].lParam);
    EXPECT_EQ(1u, creates());
    EXPECT_EQ(0, openFiles());
}

// A list cut short by a stop is not complete, even when the stop byte has been
// cleared again by the time the walk looks at it.
TEST_F(ScriptedDeviceTest, StoppedListIsNeverReportedComplete) {
    const std::wstring first = Source(3000);
    stopAt(&stop, 2, TRUE);
    MessageRecorder recorder;
    ASSERT_TRUE(recorder.Start());

    TransferEngine engine;
    engine.CopyListToDevice({first, first}, {kTarget, kTarget + L"2"}, 1000, recorder.ThreadId(),
                            &stop);

    const std::vector<UINT> expected{UM_BLOCK_COPIED, UM_BLOCK_COPIED, UM_COPY_STOPPED};
    EXPECT_EQ(expected, Ids(recorder.Finish()));
    EXPECT_EQ(0, stop);
    EXPECT_EQ(1u, creates()) << "the second file must not be touched";
}

} // namespace
