// The composed device file operations, call by call, against the
// call-logging stand-in for rapi.dll.
#include "device/DeviceConnection.h"
#include "device/DeviceFileOps.h"
#include "tests/device/FakeRapiHarness.h"
#include "tests/device/ImportPatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

const std::wstring HelperPath = L"\\Mounted Volume\\insthelp.dll";

// LocalFree as the system code calls it, counted for the stand-in's reply.
using LocalFreeFn = HLOCAL(WINAPI*)(HLOCAL);
LocalFreeFn realLocalFree = nullptr;
BYTE*(WINAPI* lastReply)() = nullptr;
LONG replyFrees = 0;
LONG otherFrees = 0; // the request belongs to the Remote API once handed over
HLOCAL WINAPI CountingLocalFree(HLOCAL memory) {
    if (memory && memory == lastReply())
        ++replyFrees;
    else if (memory)
        ++otherFrees;
    return realLocalFree(memory);
}

std::wstring InvokeCall(size_t inputSize) {
    return L"CeRapiInvoke(" + HelperPath + L",InvkFreeDiskSpace," + std::to_wstring(inputSize) +
           L",outSize=0,out=null,null,0)\n";
}

class FakeFileOpsTest : public testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"FAKE_RAPI_INIT", nullptr);
        SetEnvironmentVariableW(L"FAKE_RAPI_UNINIT", nullptr);
        ASSERT_TRUE(DeviceConnection::Instance().Connect());
        fake = FakeRapi::Bind();
        ASSERT_TRUE(fake.complete()) << "rapi.dll is not the call-logging stand-in";
        fake.Reset();
    }
    void TearDown() override { DeviceConnection::Instance().Disconnect(); }

    std::wstring TakeLog() {
        std::wstring log = fake.Log();
        fake.Reset();
        return log;
    }
    std::vector<BYTE> LastInput() {
        std::vector<BYTE> input(fake.LastInput(nullptr, 0));
        fake.LastInput(input.data(), static_cast<DWORD>(input.size()));
        return input;
    }
    void SetReply(HRESULT result, const std::wstring* units) {
        fake.SetInvokeReply(result, units ? reinterpret_cast<const BYTE*>(units->data()) : nullptr,
                            units ? static_cast<DWORD>(units->size() * sizeof(wchar_t)) : 0);
    }
    // GetFreeSpace, counting the LocalFree calls for the reply buffer.
    int64_t QueryFreeSpace(const std::wstring& folder, LONG* frees) {
        ImportPatch patch("kernel32.dll", "LocalFree", reinterpret_cast<void*>(CountingLocalFree));
        EXPECT_TRUE(patch.active());
        realLocalFree = reinterpret_cast<LocalFreeFn>(patch.original());
        lastReply = fake.LastOutput;
        replyFrees = 0;
        otherFrees = 0;
        int64_t result = ops.GetFreeSpace(folder);
        *frees = replyFrees;
        return result;
    }

    FakeRapi fake{};
    DeviceFileOps ops{HelperPath};
};

TEST_F(FakeFileOpsTest, GetFreeSpaceSendsThe510ByteRequestAndReleasesTheReply) {
    const std::wstring reply = L"  123456789012\0"s;
    SetReply(S_OK, &reply);
    LONG frees = 0;
    EXPECT_EQ(123456789012, QueryFreeSpace(L"\\Mounted Volume", &frees));
    EXPECT_EQ(1, frees);
    EXPECT_EQ(0, otherFrees) << "the request was released by the caller, not the Remote API";
    std::vector<BYTE> expected(510, 0);
    const std::wstring root = L"\\Mounted Volume";
    ASSERT_EQ(15u, root.size());
    std::memcpy(expected.data(), root.data(), 30);
    EXPECT_EQ(expected, LastInput());
    EXPECT_EQ(InvokeCall(510), TakeLog());
}

TEST_F(FakeFileOpsTest, GetFreeSpaceOutcomes) {
    const std::wstring number = L"42\0"s;
    const std::wstring letter = L"x42\0"s;
    struct Case {
        const char* name;
        HRESULT result;
        const std::wstring* reply; // nullptr: no output buffer
        int64_t expected;
        LONG frees;
        bool traced; // the device's last error was read
    } cases[] = {
        {"E_FAIL: failed, buffer not released", E_FAIL, &number, 0, 0, true},
        {"E_FAIL without a buffer", E_FAIL, nullptr, 0, 0, true},
        {"no buffer", S_OK, nullptr, 0, 0, false},
        {"other failure code counts as answered", E_UNEXPECTED, &number, 42, 1, false},
        {"leading letter gives 0, buffer released", S_OK, &letter, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetReply(c.result, c.reply);
        LONG frees = 0;
        EXPECT_EQ(c.expected, QueryFreeSpace(L"\\Mounted Volume", &frees));
        EXPECT_EQ(c.frees, frees);
        std::wstring expectedLog = InvokeCall(510) + (c.traced ? L"CeGetLastError\n" : L"");
        BYTE* unreleased = c.frees ? nullptr : fake.LastOutput();
        EXPECT_EQ(expectedLog, TakeLog());
        if (unreleased)
            LocalFree(unreleased);
    }
}

TEST_F(FakeFileOpsTest, GetFreeSpaceSendsOnlyFoldersThatFitTheRequest) {
    const std::wstring reply = L"7\0"s;
    SetReply(S_OK, &reply);
    LONG frees = 0;
    // 254 units and the ending zero unit fill the 255-unit request.
    const std::wstring longest = L"\\" + std::wstring(253, L'a');
    EXPECT_EQ(7, QueryFreeSpace(longest, &frees));
    std::vector<BYTE> input = LastInput();
    ASSERT_EQ(510u, input.size());
    EXPECT_EQ(0, std::memcmp(input.data(), longest.data(), 508));
    EXPECT_EQ(0, input[508] | input[509]);
    EXPECT_EQ(InvokeCall(510), TakeLog());

    for (size_t units : {255u, 300u}) {
        SCOPED_TRACE(units);
        EXPECT_EQ(0, QueryFreeSpace(L"\\" + std::wstring(units - 1, L'a'), &frees));
        EXPECT_EQ(L"", TakeLog()) << "the device is not asked";
    }
}

TEST_F(FakeFileOpsTest, DeviceFileSize) {
    const std::wstring path = L"\\Mounted Volume\\a.txt";
    const std::wstring opened = L"CeFindFirstFile(" + path + L")\n" +
                                L"CeFindClose(0x2000)\n"
                                L"CeCreateFile(" +
                                path +
                                L",0x80000000,0x1,null,0x3,0x80,null)\n"
                                L"CeGetFileSize(0x1000,high=0x0)\n"
                                L"CeCloseHandle(0x1000)\n";
    struct Case {
        const wchar_t* entries;
        DWORD low, high;
        uint64_t expected;
        std::wstring log;
    } cases[] = {
        {L"", 5, 0, 0, L"CeFindFirstFile(" + path + L")\n"}, // missing: nothing opened
        {L"a.txt", 5, 0, 5, opened},
        {L"a.txt", 5, 1, 0x100000005ull, opened},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        fake.SetEntries(c.entries);
        fake.SetFileSize(c.low, c.high);
        EXPECT_EQ(c.expected, ops.DeviceFileSize(path));
        EXPECT_EQ(c.log, TakeLog());
    }
}

TEST_F(FakeFileOpsTest, DeleteMatching) {
    struct Case {
        const char* name;
        std::wstring pattern;
        const wchar_t* entries;
        BOOL deletes;
        bool expected;
        std::wstring log;
    } cases[] = {
        {"several entries, each under the pattern's folder", L"\\Mounted Volume\\*.txt",
         L"a.txt|b.txt", TRUE, true,
         L"CeFindFirstFile(\\Mounted Volume\\*.txt)\n"
         L"CeSetFileAttributes(\\Mounted Volume\\a.txt,0x80)\n"
         L"CeDeleteFile(\\Mounted Volume\\a.txt)\n"
         L"CeFindNextFile(0x2000)\n"
         L"CeSetFileAttributes(\\Mounted Volume\\b.txt,0x80)\n"
         L"CeDeleteFile(\\Mounted Volume\\b.txt)\n"
         L"CeFindNextFile(0x2000)\n"
         L"CeFindClose(0x2000)\n"},
        {"pattern without a backslash uses bare names", L"*.txt", L"a.txt", TRUE, true,
         L"CeFindFirstFile(*.txt)\n"
         L"CeSetFileAttributes(a.txt,0x80)\n"
         L"CeDeleteFile(a.txt)\n"
         L"CeFindNextFile(0x2000)\n"
         L"CeFindClose(0x2000)\n"},
        {"nothing matches", L"\\Mounted Volume\\none", L"", TRUE, false,
         L"CeFindFirstFile(\\Mounted Volume\\none)\n"},
        {"every delete fails", L"\\Mounted Volume\\sub", L"sub", FALSE, false,
         L"CeFindFirstFile(\\Mounted Volume\\sub)\n"
         L"CeSetFileAttributes(\\Mounted Volume\\sub,0x80)\n"
         L"CeDeleteFile(\\Mounted Volume\\sub)\n"
         L"CeFindNextFile(0x2000)\n"
         L"CeFindClose(0x2000)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.SetEntries(c.entries);
        fake.SetDeleteResult(c.deletes);
        EXPECT_EQ(c.expected, ops.DeleteMatching(c.pattern));
        EXPECT_EQ(c.log, TakeLog());
    }
}

} // namespace
