// The connection to the device: binding, Connect, Disconnect and the
// forwarding operations, against the call-logging stand-in for rapi.dll.
#include "device/DeviceConnection.h"
#include "tests/device/FakeRapiHarness.h"
#include "tests/device/ImportPatch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring InitCall =
    L"CeRapiInitEx(" + std::to_wstring(sizeof(RAPIINIT)) + L",null,0x0)\n";

std::string Narrow(const wchar_t* text) {
    return std::string(text, text + wcslen(text));
}

LONG loadLibraryCalls = 0;
HMODULE WINAPI CountingLoadLibraryW(LPCWSTR name) {
    InterlockedIncrement(&loadLibraryCalls);
    return GetModuleHandleW(name) ? GetModuleHandleW(name) : LoadLibraryExW(name, nullptr, 0);
}

// Each test starts connected to the stand-in with an empty call log, and
// leaves the connection closed.
class FakeConnectionTest : public testing::Test {
protected:
    void SetUp() override {
        SetScript(nullptr, nullptr);
        ASSERT_TRUE(device().Connect());
        fake = FakeRapi::Bind();
        ASSERT_TRUE(fake.complete()) << "rapi.dll is not the call-logging stand-in";
        fake.Reset();
    }
    void TearDown() override {
        SetScript(nullptr, nullptr);
        device().Disconnect();
    }

    static DeviceConnection& device() { return DeviceConnection::Instance(); }
    static void SetScript(const wchar_t* init, const wchar_t* uninit) {
        SetEnvironmentVariableW(L"FAKE_RAPI_INIT", init);
        SetEnvironmentVariableW(L"FAKE_RAPI_UNINIT", uninit);
    }
    std::wstring TakeLog() {
        std::wstring log = fake.Log();
        fake.Reset();
        return log;
    }
    // Not connected: a further Disconnect reports false and calls nothing.
    void ExpectNotConnected() {
        fake.Reset();
        EXPECT_FALSE(device().Disconnect());
        EXPECT_EQ(L"", TakeLog());
    }

    FakeRapi fake{};
};

TEST_F(FakeConnectionTest, ConnectPassesTheInitRecordAndUninitsOnEveryFailure) {
    struct Case {
        const wchar_t* init;
        bool connects;
        std::wstring log;
    } cases[] = {
        {L"ok", true, InitCall},
        {L"fail", false, InitCall + L"CeRapiUninit\n"},   // CeRapiInitEx fails
        {L"hrfail", false, InitCall + L"CeRapiUninit\n"}, // initialisation result negative
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "init " << Narrow(c.init));
        device().Disconnect();
        fake.Reset();
        SetScript(c.init, nullptr);
        EXPECT_EQ(c.connects, device().Connect());
        EXPECT_EQ(c.log, TakeLog());
        if (!c.connects)
            ExpectNotConnected();
    }
}

TEST_F(FakeConnectionTest, ConnectWhileConnectedLoadsAndCallsNothing) {
    ImportPatch patch("kernel32.dll", "LoadLibraryW",
                      reinterpret_cast<void*>(CountingLoadLibraryW));
    ASSERT_TRUE(patch.active());
    loadLibraryCalls = 0;
    EXPECT_TRUE(device().Connect());
    EXPECT_EQ(0, loadLibraryCalls);
    EXPECT_EQ(L"", TakeLog());

    // Once closed, the next Connect loads the library again.
    ASSERT_TRUE(device().Disconnect());
    EXPECT_TRUE(device().Connect());
    EXPECT_EQ(1, loadLibraryCalls);
}

TEST_F(FakeConnectionTest, DisconnectClosesUnlessUninitReportsEFail) {
    struct Case {
        const wchar_t* uninit;
        bool closes;
    } cases[] = {
        {nullptr, true},
        {L"80004005", false}, // E_FAIL: still connected
        {L"8000ffff", true},  // any other failure counts as closed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "uninit " << Narrow(c.uninit ? c.uninit : L"0"));
        ASSERT_TRUE(device().Connect());
        fake.Reset();
        SetScript(nullptr, c.uninit);
        EXPECT_EQ(c.closes, device().Disconnect());
        EXPECT_EQ(L"CeRapiUninit\n", TakeLog());
        SetScript(nullptr, nullptr);
        if (c.closes) {
            ExpectNotConnected();
        } else {
            EXPECT_TRUE(device().Connect());
            EXPECT_EQ(L"", TakeLog()) << "still connected: Connect has nothing to do";
            EXPECT_TRUE(device().Disconnect());
        }
    }
}

TEST_F(FakeConnectionTest, DisconnectWhenNotConnectedCallsNothing) {
    ASSERT_TRUE(device().Disconnect());
    ExpectNotConnected();
}

TEST_F(FakeConnectionTest, ForwardingOperationsPassArgumentsAndResultsUnchanged) {
    fake.SetEntries(L"a.txt|b.txt");
    fake.SetFileSize(0x12345678, 9);
    HANDLE file = device().CeCreateFile(L"\\d\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(reinterpret_cast<HANDLE>(0x1000), file);
    DWORD written = 0;
    EXPECT_TRUE(device().CeWriteFile(file, "hello", 5, &written, nullptr));
    EXPECT_EQ(5u, written);
    DWORD high = 0;
    EXPECT_EQ(0x12345678u, device().CeGetFileSize(file, &high));
    EXPECT_EQ(9u, high);
    EXPECT_TRUE(device().CeCloseHandle(file));
    CE_FIND_DATA data = {};
    HANDLE find = device().CeFindFirstFile(L"\\d\\*", &data);
    EXPECT_EQ(reinterpret_cast<HANDLE>(0x2000), find);
    EXPECT_STREQ(L"a.txt", data.cFileName);
    EXPECT_TRUE(device().CeFindNextFile(find, &data));
    EXPECT_STREQ(L"b.txt", data.cFileName);
    EXPECT_FALSE(device().CeFindNextFile(find, &data));
    EXPECT_TRUE(device().CeFindClose(find));
    EXPECT_TRUE(device().CeCreateDirectory(L"\\d", nullptr));
    EXPECT_TRUE(device().CeSetFileAttributes(L"\\d\\a.txt", FILE_ATTRIBUTE_NORMAL));
    fake.SetDeleteResult(FALSE);
    EXPECT_FALSE(device().CeDeleteFile(L"\\d\\a.txt"));
    EXPECT_EQ(87u, device().CeGetLastError());
    EXPECT_EQ(L"CeCreateFile(\\d\\a.txt,0x40000000,0x0,null,0x2,0x80,null)\n"
              L"CeWriteFile(0x1000,data,5,null)\n"
              L"CeGetFileSize(0x1000,high=0x0)\n"
              L"CeCloseHandle(0x1000)\n"
              L"CeFindFirstFile(\\d\\*)\n"
              L"CeFindNextFile(0x2000)\n"
              L"CeFindNextFile(0x2000)\n"
              L"CeFindClose(0x2000)\n"
              L"CeCreateDirectory(\\d,null)\n"
              L"CeSetFileAttributes(\\d\\a.txt,0x80)\n"
              L"CeDeleteFile(\\d\\a.txt)\n"
              L"CeGetLastError\n",
              TakeLog());
}

// Scenarios that need a process of their own: the library search from a
// clean start, a different rapi.dll, and the disconnect at process exit.
struct ProbeCase {
    const char* name;
    const wchar_t* scenario;
    const wchar_t* variant; // stand-in build it loads; nullptr: none exists
    const char* init;
    const char* uninit;
    DWORD exitCode; // one bit per result, first call in bit 0
    std::wstring log;
};

void PrintTo(const ProbeCase& c, std::ostream* os) {
    *os << c.name;
}

class ProbeTest : public testing::TestWithParam<ProbeCase> {};

TEST(DeviceTrace, WritesOperationPathAndDeviceErrorToTheDebuggerOutput) {
    ProbeRun run = RunProbe(L"trace", L"full", nullptr, nullptr);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(InitCall + L"CeGetLastError\nCeRapiUninit\n", run.log);
    EXPECT_EQ(L"pelko: device InvkFreeDiskSpace \"\\Mounted Volume\" failed, device error 87\n",
              run.debug);
}

TEST_P(ProbeTest, RunsAsExpected) {
    const ProbeCase& c = GetParam();
    std::wstring scenario = c.scenario;
    if (scenario == L"retry")
        scenario += L" \"" + FakeRapiLibrary(L"full") + L"\"";
    ProbeRun run = RunProbe(scenario, c.variant, c.init, c.uninit);
    EXPECT_EQ(c.exitCode, run.exitCode);
    EXPECT_EQ(c.log, run.log);
}

const ProbeCase probeCases[] = {
    // Connected at exit: the exit-time destructor disconnects once.
    {"ConnectedAtExitDisconnectsOnce", L"connect", L"full", nullptr, nullptr, 1,
     InitCall + L"CeRapiUninit\n"},
    // Never connected: nothing is called, neither by Disconnect nor at exit.
    {"NeverConnectedCallsNothing", L"idle", L"full", nullptr, nullptr, 0, L""},
    {"DisconnectedBeforeExitUninitsOnce", L"connect-disconnect", L"full", nullptr, nullptr, 3,
     InitCall + L"CeRapiUninit\n"},
    // Disconnect fails with E_FAIL: the exit-time destructor tries once more.
    {"EFailOnDisconnectRetriedAtExit", L"connect-disconnect", L"full", nullptr, "80004005", 1,
     InitCall + L"CeRapiUninit\nCeRapiUninit\n"},
    // No device answers: the 4000 ms wait ends, CeRapiUninit exactly once.
    {"NoDeviceWaitsThenUninitsOnce", L"connect", L"full", "nosignal", nullptr, 0,
     InitCall + L"CeRapiUninit\n"},
    {"InitFailsUninitsOnce", L"connect-twice", L"full", "fail", nullptr, 0,
     InitCall + L"CeRapiUninit\n" + InitCall + L"CeRapiUninit\n"},
    {"SecondConnectCallsNothing", L"connect-twice", L"full", nullptr, nullptr, 3,
     InitCall + L"CeRapiUninit\n"},
    // A library without an entry point that the system calls is refused
    // before anything in it is called.
    {"LibraryLackingCalledEntryPointRefused", L"connect", L"no-findclose", nullptr, nullptr, 0,
     L""},
    // ... and none of its entry points is reached by the operations after.
    {"LibraryLackingCalledEntryPointNotUsed", L"connect-unbound", L"no-findclose", nullptr, nullptr,
     2, L""},
    // One that lacks only an entry point never called is the Remote API.
    {"LibraryLackingUncalledEntryPointAccepted", L"connect", L"no-createprocess", nullptr, nullptr,
     1, InitCall + L"CeRapiUninit\n"},
    // No rapi.dll: Connect fails; a later Connect loads again.
    {"NoLibraryThenLibraryFound", L"retry", nullptr, nullptr, nullptr, 2,
     InitCall + L"CeRapiUninit\n"},
    // No rapi.dll: every operation fails without calling through a null slot.
    {"NoLibraryOperationsFail", L"unbound", nullptr, nullptr, nullptr, 1, L""},
};

INSTANTIATE_TEST_SUITE_P(DeviceConnection, ProbeTest, testing::ValuesIn(probeCases),
                         [](const testing::TestParamInfo<ProbeCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
