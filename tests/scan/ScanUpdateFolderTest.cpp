// The scan of the update folder against the emulated device: the device
// folders it creates and the pairs it lists.
#include "device/DeviceConnection.h"
#include "framework/UniqueResource.h"
#include "scan/UpdateList.h"
#include "tests/scan/TempTree.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/FileTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::wstring DeviceRoot = L"\\Mounted Volume";

struct ScanCase {
    const char* what;
    std::vector<const wchar_t*> tree;
    const wchar_t* sourceRoot;                  // below the tree
    std::vector<const wchar_t*> devicePrepared; // folders below DeviceRoot before the scan
    std::vector<std::wstring> listed;           // files below sourceRoot, in list order
    bool listOrderFixed;                        // else compared as a set
    std::vector<std::wstring> deviceTree;       // ListTree of DeviceRoot afterwards
};

void PrintTo(const ScanCase& c, std::ostream* out) {
    *out << c.what;
}

const ScanCase kScanCases[] = {
    // A file of the root's listing always comes before one of sub's.
    {"worked example",
     {L"update_files\\", L"update_files\\a.txt", L"update_files\\sub\\",
      L"update_files\\sub\\b.txt"},
     L"update_files",
     {},
     {L"\\a.txt", L"\\sub\\b.txt"},
     true,
     {L"sub\\"}},
    {"nested, empty and dot folders, names keep their case",
     {L"update_files\\", L"update_files\\.profile", L"update_files\\MixedCase.TXT",
      L"update_files\\sub\\", L"update_files\\sub\\b.txt", L"update_files\\sub\\deep\\",
      L"update_files\\sub\\deep\\c.txt", L"update_files\\sub\\deep\\deeper\\",
      L"update_files\\sub\\deep\\deeper\\d.txt", L"update_files\\empty\\",
      L"update_files\\.cache\\", L"update_files\\.cache\\x.txt", L"update_files\\.cache\\inner\\",
      L"update_files\\.cache\\inner\\y.txt"},
     L"update_files",
     {},
     {L"\\.profile", L"\\MixedCase.TXT", L"\\sub\\b.txt", L"\\sub\\deep\\c.txt",
      L"\\sub\\deep\\deeper\\d.txt"},
     false,
     {L".cache\\", L"empty\\", L"sub\\", L"sub\\deep\\", L"sub\\deep\\deeper\\"}},
    // The device folder exists already: its creation fails, its files are
    // still listed.
    {"device folder there already",
     {L"update_files\\", L"update_files\\sub\\", L"update_files\\sub\\b.txt"},
     L"update_files",
     {L"sub"},
     {L"\\sub\\b.txt"},
     true,
     {L"sub\\"}},
    {"empty update folder", {L"update_files\\"}, L"update_files", {}, {}, true, {}},
    {"update folder missing", {L"other\\", L"other\\a.txt"}, L"update_files", {}, {}, true, {}},
    {"update folder is a file", {L"update_files"}, L"update_files", {}, {}, true, {}},
};

// The folders created through the device, in the order of the requests.
std::vector<std::wstring> CreatedFolders(const std::string& log) {
    std::vector<std::wstring> created;
    std::istringstream lines(log);
    const std::string op = " CreateDirectory ";
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(op);
        if (at == std::string::npos)
            continue;
        const size_t begin = at + op.size();
        const std::string path = line.substr(begin, line.find(" ->", begin) - begin);
        created.emplace_back(path.begin(), path.end());
    }
    return created;
}

class ScanUpdateFolderTest : public testing::Test {
protected:
    void SetUp() override {
        UpdateList = UpdateListType{};
        sim = std::make_unique<testsupport::DeviceSim>();
        ASSERT_TRUE(sim->Started()) << sim->Error();
        ASSERT_TRUE(::CreateDirectoryW(sim->StoragePath(DeviceRoot).c_str(), nullptr));
        ASSERT_TRUE(DeviceConnection::Instance().Connect());
    }
    void TearDown() override {
        DeviceConnection::Instance().Disconnect();
        sim.reset();
        UpdateList = UpdateListType{};
    }

    std::vector<std::wstring> DeviceTree() const {
        return testsupport::ListTree(sim->StoragePath(DeviceRoot));
    }

    std::unique_ptr<testsupport::DeviceSim> sim;
};

class ScanCases : public ScanUpdateFolderTest, public testing::WithParamInterface<ScanCase> {};

TEST_P(ScanCases, CreatesTheFoldersAndListsTheFiles) {
    const ScanCase& c = GetParam();
    TempTree tree;
    tree.Make(c.tree);
    for (const wchar_t* folder : c.devicePrepared)
        ASSERT_TRUE(
            ::CreateDirectoryW(sim->StoragePath(DeviceRoot + L"\\" + folder).c_str(), nullptr));
    const std::wstring sourceRoot = tree.Path(c.sourceRoot);

    ScanUpdateFolder(sourceRoot, DeviceRoot);

    ASSERT_EQ(UpdateList.sourcePaths.size(), UpdateList.targetPaths.size());
    std::vector<std::wstring> expectedSources, expectedTargets;
    for (const std::wstring& file : c.listed) {
        expectedSources.push_back(sourceRoot + file);
        expectedTargets.push_back(DeviceRoot + file);
    }
    // Pairs stay paired whatever the listing order.
    std::vector<std::pair<std::wstring, std::wstring>> pairs, expectedPairs;
    for (size_t i = 0; i < UpdateList.sourcePaths.size(); ++i)
        pairs.emplace_back(UpdateList.sourcePaths[i], UpdateList.targetPaths[i]);
    for (size_t i = 0; i < expectedSources.size(); ++i)
        expectedPairs.emplace_back(expectedSources[i], expectedTargets[i]);
    if (!c.listOrderFixed) {
        std::sort(pairs.begin(), pairs.end());
        std::sort(expectedPairs.begin(), expectedPairs.end());
    }
    EXPECT_EQ(expectedPairs, pairs);
    EXPECT_EQ(c.deviceTree, DeviceTree());
}

INSTANTIATE_TEST_SUITE_P(ScanUpdateFolder, ScanCases, testing::ValuesIn(kScanCases));

// Each folder is created on the device before anything inside it, parents
// before their subfolders, and no folder twice.
TEST_F(ScanUpdateFolderTest, CreatesParentsBeforeTheirSubfolders) {
    TempTree tree;
    tree.Make({L"u\\", L"u\\a\\", L"u\\a\\x\\", L"u\\a\\x\\q\\", L"u\\a\\x\\q\\f.txt", L"u\\a\\y\\",
               L"u\\b\\", L"u\\b\\z\\", L"u\\b\\z\\g.txt", L"u\\.c\\", L"u\\.c\\inside\\"});

    ScanUpdateFolder(tree.Path(L"u"), DeviceRoot);

    const std::vector<std::wstring> created = CreatedFolders(sim->LogText());
    std::vector<std::wstring> sortedCreated = created;
    std::sort(sortedCreated.begin(), sortedCreated.end());
    EXPECT_EQ((std::vector<std::wstring>{DeviceRoot + L"\\.c", DeviceRoot + L"\\a",
                                         DeviceRoot + L"\\a\\x", DeviceRoot + L"\\a\\x\\q",
                                         DeviceRoot + L"\\a\\y", DeviceRoot + L"\\b",
                                         DeviceRoot + L"\\b\\z"}),
              sortedCreated)
        << sim->LogText();
    for (size_t i = 0; i < created.size(); ++i) {
        const std::wstring parent = created[i].substr(0, created[i].rfind(L'\\'));
        if (parent == DeviceRoot)
            continue;
        EXPECT_NE(created.begin() + i, std::find(created.begin(), created.begin() + i, parent))
            << testsupport::Utf8(created[i]) << " before its parent";
    }
    EXPECT_EQ(2u, UpdateList.sourcePaths.size());
}

// A file that another program holds open without sharing stays in the list
// and counts 0 towards the sum.
TEST_F(ScanUpdateFolderTest, FileThatCannotBeOpenedStaysListedAndCountsZero) {
    TempTree tree;
    tree.Make({L"u\\", L"u\\held.txt", L"u\\free.txt", L"u\\zero.txt"});
    tree.MakeFile(L"u\\empty.bin");
    UniqueFile holder(::CreateFileW(tree.Path(L"u\\held.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.valid());

    ScanUpdateFolder(tree.Path(L"u"), DeviceRoot);

    std::vector<std::wstring> targets = UpdateList.targetPaths;
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ((std::vector<std::wstring>{DeviceRoot + L"\\empty.bin", DeviceRoot + L"\\free.txt",
                                         DeviceRoot + L"\\held.txt", DeviceRoot + L"\\zero.txt"}),
              targets);
    // free.txt and zero.txt hold their own names: 8 bytes each.
    EXPECT_EQ(16u, SumFileSizes(UpdateList.sourcePaths));
    holder.reset();
    EXPECT_EQ(24u, SumFileSizes(UpdateList.sourcePaths));
}

} // namespace
