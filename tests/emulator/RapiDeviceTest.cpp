// Our rapi.dll against devicesim: the connection, Windows CE file semantics,
// refused paths, the simulated faults and CeRapiInvoke with insthelp.dll.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>

#include <string>
#include <vector>

#include "emulator/link/LinkProtocol.h"
#include "emulator/link/LinkSocket.h"
#include "framework/JoinableThread.h"
#include "framework/UniqueResource.h"
#include "tests/emulator/LoopbackSocket.h"
#include "tests/emulator/RapiBinding.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/FileTree.h"

using testsupport::DeviceSim;

namespace {

RapiBinding& Rapi() {
    static RapiBinding rapi;
    static bool loaded = rapi.Load();
    EXPECT_TRUE(loaded) << "rapi.dll or one of its entry points is missing";
    return rapi;
}

const std::wstring Root = L"\\Mounted Volume";

class RapiDevice : public ::testing::Test {
protected:
    void TearDown() override { Rapi().CeRapiUninit(); }

    // Starts the connection and waits for the init event.
    ::testing::AssertionResult Connect() {
        RAPIINIT init{sizeof(RAPIINIT), nullptr, 0};
        HRESULT hr = Rapi().CeRapiInitEx(&init);
        if (FAILED(hr))
            return ::testing::AssertionFailure() << "CeRapiInitEx " << std::hex << hr;
        if (WaitForSingleObject(init.heRapiInit, 10000) != WAIT_OBJECT_0)
            return ::testing::AssertionFailure() << "init event not signalled";
        if (FAILED(init.hrRapiInit))
            return ::testing::AssertionFailure() << "hrRapiInit " << std::hex << init.hrRapiInit;
        return ::testing::AssertionSuccess();
    }

    HANDLE Create(const std::wstring& path, DWORD disposition = CREATE_ALWAYS,
                  DWORD access = GENERIC_WRITE) {
        return Rapi().CeCreateFile(path.c_str(), access, 0, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    bool Write(const std::wstring& path, const std::string& bytes) {
        HANDLE h = Create(path);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL ok = Rapi().CeWriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                     nullptr);
        Rapi().CeCloseHandle(h);
        return ok && written == bytes.size();
    }

    std::vector<std::wstring> Find(const std::wstring& pattern) {
        std::vector<std::wstring> names;
        CE_FIND_DATA data;
        HANDLE h = Rapi().CeFindFirstFile(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(data.cFileName);
        while (Rapi().CeFindNextFile(h, &data));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), Rapi().CeGetLastError());
        Rapi().CeFindClose(h);
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(RapiDevice, ConnectsThroughTheInitEventAndUninitEndsIt) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    EXPECT_EQ(S_OK, Rapi().CeRapiGetError());
    // Our rapi.dll and devicesim move their frames through shared memory.
    EXPECT_NE(std::string::npos, device.LogText().find("frames through shared memory"));
    CEOSVERSIONINFO version{};
    version.dwOSVersionInfoSize = sizeof version;
    EXPECT_TRUE(Rapi().CeGetVersionEx(&version));
    EXPECT_EQ(3u, version.dwPlatformId);
    STORE_INFORMATION store{};
    EXPECT_TRUE(Rapi().CeGetStoreInformation(&store)) << "the PC disk's space without --capacity";
    EXPECT_NE(0u, store.dwStoreSize);
    EXPECT_EQ(S_OK, Rapi().CeRapiUninit());
    EXPECT_EQ(E_FAIL, Rapi().CeRapiUninit());
    // The blocking form connects as well.
    EXPECT_EQ(S_OK, Rapi().CeRapiInit());
    EXPECT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    EXPECT_EQ(S_OK, Rapi().CeRapiUninit());
}

TEST_F(RapiDevice, UninitWithoutInitFails) {
    EXPECT_EQ(E_FAIL, Rapi().CeRapiUninit());
}

TEST_F(RapiDevice, NoAnsweringDeviceNeverSignalsAndUninitStopsTrying) {
    struct Case {
        const char* name;
        bool stopDevice;
        std::vector<std::wstring> args;
    } cases[] = {{"nothing listens", true, {}}, {"no handshake", false, {L"--no-handshake"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceSim device(c.args);
        ASSERT_TRUE(device.Started()) << device.Error();
        if (c.stopDevice)
            device.Stop();
        RAPIINIT init{sizeof(RAPIINIT), nullptr, 0};
        ASSERT_EQ(S_OK, Rapi().CeRapiInitEx(&init));
        ASSERT_NE(nullptr, init.heRapiInit);
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(init.heRapiInit, 1000));
        SetLastError(0xdeadbeef);
        EXPECT_EQ(INVALID_HANDLE_VALUE, Create(Root + L"\\a.txt"));
        EXPECT_NE(0u, Rapi().CeGetLastError());
        EXPECT_EQ(S_OK, Rapi().CeRapiUninit());
    }
}

TEST_F(RapiDevice, FilesFoldersAndFindsFollowWindowsCe) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());

    ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), Rapi().CeGetLastError());
    EXPECT_FALSE(Rapi().CeCreateDirectory((Root + L"\\x\\y").c_str(), nullptr)) << "not recursive";
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), Rapi().CeGetLastError());
    EXPECT_FALSE(testsupport::FolderExists(device.StoragePath(Root + L"\\x")));
    ASSERT_TRUE(Rapi().CeCreateDirectory((Root + L"\\sub").c_str(), nullptr));

    std::string big = testsupport::PatternBytes(3 * 1024 * 1024 + 17, 7); // several frames
    ASSERT_TRUE(Write(Root + L"\\a.txt", "alpha"));
    ASSERT_TRUE(Write(Root + L"\\b.txt", ""));
    ASSERT_TRUE(Write(Root + L"\\c.bin", big));
    EXPECT_EQ("alpha", testsupport::ReadFileBytes(device.StoragePath(Root + L"\\a.txt")));
    EXPECT_EQ(big, testsupport::ReadFileBytes(device.StoragePath(Root + L"\\c.bin")));

    HANDLE h = Create(Root + L"\\c.bin", OPEN_EXISTING, GENERIC_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD high = 0xdeadbeef;
    EXPECT_EQ(big.size(), Rapi().CeGetFileSize(h, &high));
    EXPECT_EQ(0u, high);
    std::string back(big.size() + 10, '\0');
    DWORD read = 0;
    EXPECT_TRUE(Rapi().CeReadFile(h, &back[0], static_cast<DWORD>(back.size()), &read, nullptr));
    back.resize(read);
    EXPECT_EQ(big, back);
    EXPECT_TRUE(Rapi().CeCloseHandle(h));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeCloseHandle(h));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), Rapi().CeGetLastError());

    struct FindCase {
        std::wstring pattern;
        std::vector<std::wstring> names;
    } finds[] = {
        {Root + L"\\*", {L"a.txt", L"b.txt", L"c.bin", L"sub"}},
        {Root + L"\\*.txt", {L"a.txt", L"b.txt"}},
        {Root + L"\\a.txt", {L"a.txt"}},
        {Root + L"\\sub", {L"sub"}},
        {Root + L"\\sub\\*", {}},
        {Root + L"\\none.txt", {}},
        {L"\\*", {L"Mounted Volume"}},
    };
    for (const auto& f : finds)
        EXPECT_EQ(f.names, Find(f.pattern)) << testsupport::Utf8(f.pattern);
    CE_FIND_DATA data;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Rapi().CeFindFirstFile((Root + L"\\none.txt").c_str(), &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), Rapi().CeGetLastError());

    DWORD count = 0;
    CE_FIND_DATA* all = nullptr;
    ASSERT_TRUE(Rapi().CeFindAllFiles((Root + L"\\*.bin").c_str(), 0, &count, &all));
    ASSERT_EQ(1u, count);
    EXPECT_STREQ(L"c.bin", all[0].cFileName);
    EXPECT_EQ(big.size(), all[0].nFileSizeLow);
    EXPECT_EQ(S_OK, Rapi().CeRapiFreeBuffer(all));

    // Deleting while a find goes on (as DeleteMatching does), then folders.
    h = Rapi().CeFindFirstFile((Root + L"\\*.txt").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    int deleted = 0;
    do
        deleted += Rapi().CeDeleteFile((Root + L"\\" + data.cFileName).c_str()) ? 1 : 0;
    while (Rapi().CeFindNextFile(h, &data));
    Rapi().CeFindClose(h);
    EXPECT_EQ(2, deleted);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeDeleteFile((Root + L"\\sub").c_str())) << "a folder is not a file";
    EXPECT_TRUE(Rapi().CeMoveFile((Root + L"\\c.bin").c_str(), (Root + L"\\sub\\d.bin").c_str()));
    EXPECT_FALSE(Rapi().CeRemoveDirectory((Root + L"\\sub").c_str())) << "not empty";
    EXPECT_TRUE(Rapi().CeDeleteFile((Root + L"\\sub\\d.bin").c_str()));
    EXPECT_TRUE(Rapi().CeRemoveDirectory((Root + L"\\sub").c_str()));
    EXPECT_EQ(std::vector<std::wstring>{}, testsupport::ListTree(device.StoragePath(Root)));
}

TEST_F(RapiDevice, ReadOnlyFileRefusesDeleteAndOverwriteUntilReset) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    std::wstring file = Root + L"\\ro.txt";
    ASSERT_TRUE(Write(file, "old"));
    ASSERT_TRUE(Rapi().CeSetFileAttributes(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(Rapi().CeGetFileAttributes(file.c_str()) & FILE_ATTRIBUTE_READONLY);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeDeleteFile(file.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), Rapi().CeGetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Create(file, CREATE_ALWAYS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), Rapi().CeGetLastError());
    EXPECT_EQ("old", testsupport::ReadFileBytes(device.StoragePath(file)));
    HANDLE reader = Create(file, OPEN_EXISTING, GENERIC_READ);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader) << "reading is allowed";
    Rapi().CeCloseHandle(reader);

    ASSERT_TRUE(Rapi().CeSetFileAttributes(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(Write(file, "new"));
    EXPECT_EQ("new", testsupport::ReadFileBytes(device.StoragePath(file)));
    EXPECT_TRUE(Rapi().CeDeleteFile(file.c_str()));
}

TEST_F(RapiDevice, PathsThatWouldLeaveTheStorageAreRefused) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Rapi().CeCreateDirectory(L"\\a", nullptr));
    const wchar_t* paths[] = {
        L"\\..\\x",
        L"\\Mounted Volume\\..\\..\\x",
        L"\\a\\..\\..\\x",
        L"C:\\x",
        L"Z:\\tmp\\x",
        L"\\a\\CON",
        L"\\a\\nul.txt",
        L"\\COM1",
        L"\\a:stream",
        L"\\a\\b:stream:$DATA",
        L"a.txt",
        L"",
        L"/x",
        L"\\a/../../x",
        L"\\\\server\\share\\x",
        L"\\a\\.",
        L"\\a\\x.",
        L"\\a\\x ",
        L"\\a\\*",
        L"\\a\\x?",
        L"\\a\\\\x",
        L"\\a\\x<y",
    };
    std::wstring outside = device.Storage() + L"\\..\\x";
    for (const wchar_t* path : paths) {
        SCOPED_TRACE(testsupport::Utf8(path));
        SetLastError(0xdeadbeef);
        EXPECT_EQ(INVALID_HANDLE_VALUE, Create(path));
        DWORD error = Rapi().CeGetLastError();
        EXPECT_TRUE(error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_NAME) << error;
        EXPECT_FALSE(Rapi().CeCreateDirectory(path, nullptr));
        EXPECT_FALSE(Rapi().CeDeleteFile(path));
        EXPECT_FALSE(Rapi().CeSetFileAttributes(path, FILE_ATTRIBUTE_NORMAL));
    }
    std::wstring tooLong = L"\\a\\" + std::wstring(300, L'x');
    EXPECT_EQ(INVALID_HANDLE_VALUE, Create(tooLong));
    EXPECT_FALSE(testsupport::FileExists(outside));
    EXPECT_EQ(std::vector<std::wstring>{L"a\\"}, testsupport::ListTree(device.Storage()));
    EXPECT_NE(std::string::npos, device.LogText().find("REFUSED"));
    // The session goes on after the refusals.
    EXPECT_TRUE(Write(L"\\a\\ok.txt", "fine"));
}

TEST_F(RapiDevice, CapacityLimitsWritesWithDiskFull) {
    DeviceSim device({L"--capacity", L"1000"});
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    ASSERT_TRUE(Write(Root + L"\\a.bin", std::string(600, 'a')));
    STORE_INFORMATION store{};
    ASSERT_TRUE(Rapi().CeGetStoreInformation(&store));
    EXPECT_EQ(1000u, store.dwStoreSize);
    EXPECT_EQ(400u, store.dwFreeSize);

    HANDLE h = Create(Root + L"\\b.bin");
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0xdeadbeef;
    std::string block(500, 'b');
    EXPECT_FALSE(Rapi().CeWriteFile(h, block.data(), 500, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), Rapi().CeGetLastError());
    EXPECT_EQ(0u, written);
    EXPECT_TRUE(Rapi().CeWriteFile(h, block.data(), 400, &written, nullptr));
    EXPECT_EQ(400u, written);
    Rapi().CeCloseHandle(h);
    // Replacing a file frees its old bytes first.
    EXPECT_TRUE(Write(Root + L"\\a.bin", std::string(600, 'c')));
}

// CeRapiInvoke releases its input with LocalFree: hand it a LocalAlloc copy.
BYTE* LocalCopy(const std::vector<BYTE>& bytes) {
    auto* block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, bytes.size() ? bytes.size() : 1));
    if (block && !bytes.empty())
        memcpy(block, bytes.data(), bytes.size());
    return block;
}

// Storage allocated in clusters, as a flash file system allocates it.
TEST_F(RapiDevice, ClusteredStorageCountsWholeClusters) {
    constexpr DWORD Cluster = 4096;
    const std::string helper = testsupport::ReadFileBytes(DeviceSim::InsthelpDll());
    ASSERT_FALSE(helper.empty());
    const DWORD helperClusters = static_cast<DWORD>((helper.size() + Cluster - 1) / Cluster);
    // \Mounted Volume, the helper library and 16 clusters for the files below.
    const DWORD capacity = (1 + helperClusters + 16) * Cluster;
    DeviceSim device(
        {L"--capacity", std::to_wstring(capacity), L"--cluster", std::to_wstring(Cluster)});
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    auto freeBytes = [] {
        STORE_INFORMATION store{};
        EXPECT_TRUE(Rapi().CeGetStoreInformation(&store));
        return store.dwFreeSize;
    };
    EXPECT_EQ(capacity, freeBytes());

    // A folder takes one cluster.
    ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    EXPECT_EQ(capacity - Cluster, freeBytes());
    const std::wstring helperPath = Root + L"\\insthelp.dll";
    ASSERT_TRUE(Write(helperPath, helper));
    DWORD expected = 16 * Cluster;
    EXPECT_EQ(expected, freeBytes());

    // Each file takes its size rounded up to whole clusters.
    struct File {
        const wchar_t* name;
        DWORD size;
        DWORD clusters;
    } files[] = {
        {L"empty", 0, 0},
        {L"one byte", 1, 1},
        {L"cluster less one", Cluster - 1, 1},
        {L"one cluster", Cluster, 1},
        {L"cluster and one", Cluster + 1, 2},
    };
    for (const File& file : files) {
        SCOPED_TRACE(testsupport::Utf8(file.name));
        ASSERT_TRUE(Write(Root + L"\\" + file.name, std::string(file.size, 'f')));
        expected -= file.clusters * Cluster;
        EXPECT_EQ(expected, freeBytes());
    }
    ASSERT_TRUE(Rapi().CeCreateDirectory((Root + L"\\sub").c_str(), nullptr));
    expected -= Cluster;
    EXPECT_EQ(expected, freeBytes());

    // The helper library asks the device's own call, and sees the same.
    std::vector<BYTE> request(510, 0);
    memcpy(request.data(), Root.data(), Root.size() * sizeof(wchar_t));
    DWORD replySize = 0;
    BYTE* reply = nullptr;
    ASSERT_EQ(S_OK, Rapi().CeRapiInvoke(helperPath.c_str(), L"InvkFreeDiskSpace", 510,
                                        LocalCopy(request), &replySize, &reply, nullptr, 0));
    UniqueLocal replyBlock(reply);
    EXPECT_EQ(std::to_wstring(expected) + L'\0',
              std::wstring(reinterpret_cast<wchar_t*>(reply), replySize / sizeof(wchar_t)));

    // Fill what is left to the last byte of its last cluster: the bytes fit,
    // the cluster is the last one.
    const DWORD left = expected;
    HANDLE big = Create(Root + L"\\big");
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    DWORD written = 0;
    std::string block(left - Cluster + 1, 'b');
    EXPECT_TRUE(
        Rapi().CeWriteFile(big, block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
    EXPECT_EQ(0u, freeBytes());
    block.assign(Cluster - 1, 'b');
    EXPECT_TRUE(
        Rapi().CeWriteFile(big, block.data(), static_cast<DWORD>(block.size()), &written, nullptr))
        << "within the file's last cluster";
    EXPECT_EQ(Cluster - 1, written);
    // One byte more crosses into a cluster that is not there.
    written = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeWriteFile(big, "b", 1, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), Rapi().CeGetLastError());
    EXPECT_EQ(0u, written);
    Rapi().CeCloseHandle(big);
    EXPECT_EQ(left, testsupport::ReadFileBytes(device.StoragePath(Root + L"\\big")).size());

    // A new file can be created (it takes nothing) but not written; a folder
    // cannot be created at all.
    HANDLE more = Create(Root + L"\\more");
    ASSERT_NE(INVALID_HANDLE_VALUE, more);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeWriteFile(more, "m", 1, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), Rapi().CeGetLastError());
    Rapi().CeCloseHandle(more);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeCreateDirectory((Root + L"\\full").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), Rapi().CeGetLastError());
    EXPECT_FALSE(testsupport::FolderExists(device.StoragePath(Root + L"\\full")));
    // An existing folder is still reported as such.
    EXPECT_FALSE(Rapi().CeCreateDirectory((Root + L"\\sub").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), Rapi().CeGetLastError());

    // Deleting a file gives its clusters back.
    ASSERT_TRUE(Rapi().CeDeleteFile((Root + L"\\one byte").c_str()));
    EXPECT_EQ(Cluster, freeBytes());
    EXPECT_TRUE(Write(Root + L"\\more", "m"));
    EXPECT_EQ(0u, freeBytes());
}

TEST_F(RapiDevice, FailWriteFailsExactlyTheNthWrite) {
    DeviceSim device({L"--fail-write", L"2"});
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    HANDLE h = Create(Root + L"\\a.bin");
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    EXPECT_TRUE(Rapi().CeWriteFile(h, "1234", 4, &written, nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeWriteFile(h, "5678", 4, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT), Rapi().CeGetLastError());
    EXPECT_TRUE(Rapi().CeWriteFile(h, "9", 1, &written, nullptr));
    Rapi().CeCloseHandle(h);
    EXPECT_EQ("12349", testsupport::ReadFileBytes(device.StoragePath(Root + L"\\a.bin")));
}

TEST_F(RapiDevice, DroppedLinkFailsTheWriteAndEveryLaterCallAtOnce) {
    struct Case {
        const char* name;
        bool dropAfter; // otherwise the device is ended between two writes
    } cases[] = {{"--drop-after", true}, {"device ended", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceSim device(c.dropAfter ? std::vector<std::wstring>{L"--drop-after", L"100000"}
                                     : std::vector<std::wstring>{});
        ASSERT_TRUE(device.Started()) << device.Error();
        ASSERT_TRUE(Connect());
        ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
        HANDLE h = Create(Root + L"\\a.bin");
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string block(65536, 'x');
        DWORD written = 0;
        EXPECT_TRUE(Rapi().CeWriteFile(h, block.data(), 65536, &written, nullptr));
        if (!c.dropAfter)
            device.Stop();
        DWORD start = GetTickCount();
        EXPECT_FALSE(Rapi().CeWriteFile(h, block.data(), 65536, &written, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), Rapi().CeGetLastError());
        EXPECT_TRUE(FAILED(Rapi().CeRapiGetError()));
        EXPECT_FALSE(Rapi().CeCloseHandle(h));
        EXPECT_EQ(INVALID_HANDLE_VALUE, Create(Root + L"\\b.bin"));
        CE_FIND_DATA data;
        EXPECT_EQ(INVALID_HANDLE_VALUE, Rapi().CeFindFirstFile((Root + L"\\*").c_str(), &data));
        BYTE* out = nullptr;
        DWORD outSize = 0;
        EXPECT_EQ(E_FAIL,
                  Rapi().CeRapiInvoke(L"\\x.dll", L"f", 0, nullptr, &outSize, &out, nullptr, 0));
        EXPECT_LT(GetTickCount() - start, 5000u) << "no call waits for the lost link";
        EXPECT_EQ(S_OK, Rapi().CeRapiUninit());
    }
}

TEST_F(RapiDevice, InvokeRunsInsthelpOnTheDevice) {
    DeviceSim device({L"--capacity", L"50000000"});
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
    std::string helper = testsupport::ReadFileBytes(DeviceSim::InsthelpDll());
    ASSERT_FALSE(helper.empty());
    std::wstring helperPath = Root + L"\\insthelp.dll";
    ASSERT_TRUE(Write(helperPath, helper));

    auto request = [](const std::wstring& folder, size_t size = 510) {
        std::vector<BYTE> r(size, 0);
        memcpy(r.data(), folder.data(), std::min(folder.size() * 2, size));
        return r;
    };
    auto invoke = [&](const std::wstring& dll, const wchar_t* function, std::vector<BYTE> input,
                      std::wstring* reply) {
        DWORD outSize = 0xdeadbeef;
        BYTE* out = reinterpret_cast<BYTE*>(1);
        HRESULT hr = Rapi().CeRapiInvoke(dll.c_str(), function, static_cast<DWORD>(input.size()),
                                         LocalCopy(input), &outSize, &out, nullptr, 0);
        if (out != nullptr) {
            if (reply)
                reply->assign(reinterpret_cast<wchar_t*>(out), outSize / 2);
            LocalFree(out);
        } else {
            EXPECT_EQ(0u, outSize);
        }
        return hr;
    };

    std::wstring reply;
    ASSERT_EQ(S_OK, invoke(helperPath, L"InvkFreeDiskSpace", request(Root), &reply));
    uint64_t expected = 50000000 - helper.size();
    EXPECT_EQ(std::to_wstring(expected) + L'\0', reply);

    std::wstring noZero(255, L'x');
    struct Case {
        const char* name;
        std::wstring dll;
        const wchar_t* function;
        std::vector<BYTE> input;
        HRESULT hr;
    } cases[] = {
        {"missing dll", Root + L"\\none.dll", L"InvkFreeDiskSpace", request(Root),
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"dll path refused", L"\\..\\insthelp.dll", L"InvkFreeDiskSpace", request(Root),
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"missing export", helperPath, L"NoSuchExport", request(Root),
         HRESULT_FROM_WIN32(ERROR_CALL_NOT_IMPLEMENTED)},
        {"no terminating zero", helperPath, L"InvkFreeDiskSpace", request(noZero), E_FAIL},
        {"short request", helperPath, L"InvkFreeDiskSpace", request(Root, 508), E_FAIL},
        {"long request", helperPath, L"InvkFreeDiskSpace", request(Root, 512), E_FAIL},
        {"missing folder", helperPath, L"InvkFreeDiskSpace", request(Root + L"\\none"), E_FAIL},
        {"refused folder", helperPath, L"InvkFreeDiskSpace", request(L"\\..\\x"), E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.hr, invoke(c.dll, c.function, c.input, nullptr));
    }

    IRAPIStream* stream = reinterpret_cast<IRAPIStream*>(1);
    std::vector<BYTE> input = request(Root);
    DWORD outSize = 0;
    BYTE* out = nullptr;
    EXPECT_EQ(E_NOTIMPL, Rapi().CeRapiInvoke(helperPath.c_str(), L"InvkFreeDiskSpace", 510,
                                             LocalCopy(input), &outSize, &out, &stream, 0));
    // The device does not keep the library loaded: it can be deleted now.
    EXPECT_TRUE(Rapi().CeDeleteFile(helperPath.c_str()));
    EXPECT_FALSE(testsupport::FileExists(device.StoragePath(helperPath)));
}

TEST_F(RapiDevice, CreateProcessIsNotSupported) {
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(Connect());
    PROCESS_INFORMATION info{};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Rapi().CeCreateProcess(L"\\Windows\\app.exe", L"", nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), Rapi().CeGetLastError());
}

// A device that answers the handshake and then misbehaves, played by the test
// on the socket.
class MisbehavingDevice {
public:
    enum class Fault { Silent, WrongOperation, TruncatedAnswer, OversizedAnswer };

    explicit MisbehavingDevice(Fault fault) : fault_(fault) {
        listener_ = NewTcpSocket();
        sockaddr_in a = LoopbackAddress();
        int length = sizeof a;
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        SetEnvironmentVariableW(L"RAPI_DEVICE", (L"127.0.0.1:" + std::to_wstring(port_)).c_str());
        thread_ = JoinableThread([this] { Serve(); });
    }
    ~MisbehavingDevice() {
        stop_ = true;
        if (client_ != INVALID_SOCKET)
            shutdown(client_, SD_BOTH);
        thread_.Join();
        closesocket(listener_);
        if (client_ != INVALID_SOCKET)
            closesocket(client_);
    }

private:
    void Serve() {
        while (!stop_) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener_, &ready);
            timeval wait{0, 100 * 1000};
            if (select(0, &ready, nullptr, nullptr, &wait) == 1)
                break;
        }
        if (stop_)
            return;
        client_ = accept(listener_, nullptr, nullptr);
        if (client_ == INVALID_SOCKET)
            return;
        std::vector<uint8_t> frame;
        link::Writer hello;
        for (uint32_t v : {1u, 1u, 0u, link::LinkVersion})
            hello.U32(v);
        if (link::RecvFrame(client_, frame) != link::RecvResult::Ok ||
            !link::SendFrame(client_, hello.Data()))
            return;
        // It keeps its frames on the socket: the offer of shared memory that
        // follows the handshake is declined, as a device may.
        link::Writer declined;
        for (uint32_t v : {link::UseSharedLinkOp, 0u, 0u})
            declined.U32(v);
        if (link::RecvFrame(client_, frame) != link::RecvResult::Ok ||
            !link::SendFrame(client_, declined.Data()))
            return;
        while (link::RecvFrame(client_, frame) == link::RecvResult::Ok) {
            link::Writer answer;
            switch (fault_) {
            case Fault::Silent:
                continue;
            case Fault::WrongOperation:
                for (uint32_t v : {999u, 1u, 0u})
                    answer.U32(v);
                link::SendFrame(client_, answer.Data());
                break;
            case Fault::TruncatedAnswer:
                answer.U32(frame.size() >= 4 ? frame[0] : 0);
                link::SendFrame(client_, answer.Data());
                break;
            case Fault::OversizedAnswer: {
                uint8_t header[4] = {0xFF, 0xFF, 0xFF, 0x7F};
                send(client_, reinterpret_cast<const char*>(header), 4, 0);
                break;
            }
            }
        }
    }

    WinsockInUse winsock_; // outlives the sockets
    Fault fault_;
    std::atomic<bool> stop_{false};
    SOCKET listener_ = INVALID_SOCKET;
    std::atomic<SOCKET> client_{INVALID_SOCKET};
    unsigned port_ = 0;
    JoinableThread thread_;
};

TEST_F(RapiDevice, MisbehavingDeviceFailsTheCallAndClosesTheLink) {
    SetEnvironmentVariableW(L"RAPI_TIMEOUT_MS", L"500");
    struct Case {
        const char* name;
        MisbehavingDevice::Fault fault;
    } cases[] = {
        {"never answers", MisbehavingDevice::Fault::Silent},
        {"answers another operation", MisbehavingDevice::Fault::WrongOperation},
        {"truncated answer", MisbehavingDevice::Fault::TruncatedAnswer},
        {"oversized answer", MisbehavingDevice::Fault::OversizedAnswer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MisbehavingDevice device(c.fault);
        ASSERT_TRUE(Connect());
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(Rapi().CeCreateDirectory(Root.c_str(), nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), Rapi().CeGetLastError());
        SetLastError(0xdeadbeef);
        EXPECT_EQ(INVALID_HANDLE_VALUE, Create(Root + L"\\a.txt"));
        EXPECT_EQ(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), Rapi().CeGetLastError());
        EXPECT_EQ(S_OK, Rapi().CeRapiUninit());
    }
    SetEnvironmentVariableW(L"RAPI_TIMEOUT_MS", nullptr);
}

} // namespace
