// The device connection and file operations against the emulated device,
// through this build's rapi.dll and insthelp.dll.
#include "device/DeviceConnection.h"
#include "device/DeviceFileOps.h"
#include "device/DeviceHandles.h"
#include "device/RapiLibrary.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/FileTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const std::wstring Root = L"\\Mounted Volume";
const std::wstring HelperPath = Root + L"\\insthelp.dll";

bool Exists(const std::wstring& pcPath) {
    return GetFileAttributesW(pcPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t PcFileSize(const std::wstring& pcPath) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(pcPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

class SimDeviceTest : public testing::Test {
protected:
    void Start(std::vector<std::wstring> args = {}) {
        sim = std::make_unique<testsupport::DeviceSim>(std::move(args));
        ASSERT_TRUE(sim->Started()) << sim->Error();
        ASSERT_TRUE(CreateDirectoryW(sim->StoragePath(Root).c_str(), nullptr));
        ASSERT_TRUE(device().Connect());
    }
    void TearDown() override {
        device().Disconnect();
        sim.reset();
    }

    static DeviceConnection& device() { return DeviceConnection::Instance(); }

    // Places a file on the device by way of its storage folder.
    void PutFile(const std::wstring& devicePath, const std::string& content,
                 DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        std::wstring pc = sim->StoragePath(devicePath);
        UniqueFile file(
            CreateFileW(pc.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                              &written, nullptr));
        file.reset();
        ASSERT_TRUE(SetFileAttributesW(pc.c_str(), attributes));
    }
    void PutFolder(const std::wstring& devicePath) {
        ASSERT_TRUE(CreateDirectoryW(sim->StoragePath(devicePath).c_str(), nullptr));
    }
    void PutHelper() {
        ASSERT_TRUE(CopyFileW(testsupport::DeviceSim::InsthelpDll().c_str(),
                              sim->StoragePath(HelperPath).c_str(), FALSE));
    }

    std::unique_ptr<testsupport::DeviceSim> sim;
    DeviceFileOps ops{HelperPath};
};

TEST_F(SimDeviceTest, FreeSpaceComesFromTheHelperOnTheDevice) {
    const uint64_t capacity = 50000000;
    Start({L"--capacity", std::to_wstring(capacity)});
    PutHelper();
    PutFile(Root + L"\\a.txt", "hello");
    uint64_t used = PcFileSize(sim->StoragePath(HelperPath)) + 5;
    ASSERT_GT(used, 5u);
    EXPECT_EQ(static_cast<int64_t>(capacity - used), ops.GetFreeSpace(Root));
}

TEST_F(SimDeviceTest, FreeSpaceIsZeroWhenTheQueryFails) {
    Start({L"--capacity", L"50000000"});
    // No helper library on the device.
    EXPECT_EQ(0, ops.GetFreeSpace(Root));
    // The helper answers, but not for a folder that does not exist.
    PutHelper();
    EXPECT_EQ(0, ops.GetFreeSpace(Root + L"\\missing"));
    EXPECT_GT(ops.GetFreeSpace(Root), 0);
}

TEST_F(SimDeviceTest, DeviceFileSize) {
    Start();
    PutFile(Root + L"\\five.txt", "12345");
    PutFile(Root + L"\\empty.txt", "");
    PutFolder(Root + L"\\sub");
    struct Case {
        std::wstring path;
        uint64_t expected;
    } cases[] = {
        {Root + L"\\five.txt", 5},
        {Root + L"\\empty.txt", 0},
        {Root + L"\\missing.txt", 0},
        {Root + L"\\sub", 0}, // a folder cannot be opened as a file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(c.expected, ops.DeviceFileSize(c.path));
    }
}

TEST_F(SimDeviceTest, DeleteMatching) {
    Start();
    struct Case {
        const char* name;
        std::vector<std::wstring> files;   // created before, below Root
        std::vector<std::wstring> folders; // created before, below Root
        std::wstring pattern;
        bool expected;
        std::vector<std::wstring> gone;
        std::vector<std::wstring> kept;
    } cases[] = {
        {"read-only file", {L"ro.txt"}, {}, Root + L"\\ro.txt", true, {L"ro.txt"}, {}},
        {"nothing matches", {L"a.txt"}, {}, Root + L"\\none.txt", false, {}, {L"a.txt"}},
        {"only a folder matches", {}, {L"sub"}, Root + L"\\sub", false, {}, {L"sub"}},
        {"wildcard over several files",
         {L"a.txt", L"b.txt", L"c.dat"},
         {},
         Root + L"\\*.txt",
         true,
         {L"a.txt", L"b.txt"},
         {L"c.dat"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::wstring& name : c.files)
            PutFile(Root + L"\\" + name, "data",
                    name == L"ro.txt" ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        for (const std::wstring& name : c.folders)
            PutFolder(Root + L"\\" + name);
        EXPECT_EQ(c.expected, ops.DeleteMatching(c.pattern));
        for (const std::wstring& name : c.gone)
            EXPECT_FALSE(Exists(sim->StoragePath(Root + L"\\" + name)));
        for (const std::wstring& name : c.kept) {
            EXPECT_TRUE(Exists(sim->StoragePath(Root + L"\\" + name)));
            std::wstring pc = sim->StoragePath(Root + L"\\" + name);
            SetFileAttributesW(pc.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(pc.c_str()))
                RemoveDirectoryW(pc.c_str());
        }
    }
}

// The link breaks in the middle of a write: that call fails at once, and
// every later call fails cleanly instead of waiting.
TEST_F(SimDeviceTest, DroppedLinkFailsTheWriteAndLaterCalls) {
    Start({L"--drop-after", L"1000"});
    PutHelper();
    std::vector<char> block(65536, 'x');
    {
        UniqueDeviceFile file(device().CeCreateFile((Root + L"\\big.bin").c_str(), GENERIC_WRITE, 0,
                                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                    nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        EXPECT_FALSE(device().CeWriteFile(file.get(), block.data(),
                                          static_cast<DWORD>(block.size()), &written, nullptr));
        EXPECT_FALSE(device().CeWriteFile(file.get(), block.data(),
                                          static_cast<DWORD>(block.size()), &written, nullptr));
    }
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              device().CeCreateFile((Root + L"\\next.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(device().CeCreateDirectory((Root + L"\\sub").c_str(), nullptr));
    EXPECT_EQ(0, ops.GetFreeSpace(Root));
    EXPECT_EQ(0u, ops.DeviceFileSize(HelperPath));
    EXPECT_FALSE(ops.DeleteMatching(HelperPath));
    EXPECT_TRUE(Exists(sim->StoragePath(HelperPath)));
}

// A device that never answers: Connect gives up after its wait; a later
// Connect to a device that answers succeeds.
TEST_F(SimDeviceTest, ConnectFailsWhileTheDeviceDoesNotAnswer) {
    {
        testsupport::DeviceSim silent({L"--no-handshake"});
        ASSERT_TRUE(silent.Started()) << silent.Error();
        EXPECT_FALSE(device().Connect());
        EXPECT_FALSE(device().Disconnect()) << "not connected";
    }
    Start();
    PutFile(Root + L"\\five.txt", "12345");
    EXPECT_EQ(5u, ops.DeviceFileSize(Root + L"\\five.txt"));
}

// The library that Connect loads is the system folder's, by its full path,
// and the one connected to here is that library.
TEST_F(SimDeviceTest, TheRemoteApiComesFromTheSystemFolder) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::wstring(system, length) + L"\\rapi.dll", RapiLibraryPath());

    Start();
    ASSERT_TRUE(device().Connect());
    wchar_t loaded[MAX_PATH] = {};
    ASSERT_NE(0u, GetModuleFileNameW(GetModuleHandleW(L"rapi.dll"), loaded, MAX_PATH));
    EXPECT_EQ(0, _wcsicmp(RapiLibraryPath().c_str(), loaded)) << testsupport::Utf8(loaded);
}

} // namespace
