#include "scan/UpdateList.h"

#include <gtest/gtest.h>

#include "framework/UniqueResource.h"
#include "tests/scan/TempTree.h"

namespace {

constexpr uint64_t GiB = 1ull << 30;

struct SizeCase {
    const char* what;
    uint64_t size;
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.what;
}

const SizeCase kSizeCases[] = {
    {"empty file", 0},
    {"small file", 5},
    // The low half alone equals INVALID_FILE_SIZE: a size, not a failure.
    {"size 0xFFFFFFFF", 0xFFFFFFFFull},
    {"size 4 GiB", 4 * GiB},
    {"size 3 GiB", 3 * GiB},
    {"size 5 GiB + 7", 5 * GiB + 7},
};

class FileSizeCases : public testing::TestWithParam<SizeCase> {};

TEST_P(FileSizeCases, LocalFileSizeReadsBothHalves) {
    TempTree tree;
    tree.MakeFileOfSize(L"f.bin", GetParam().size);
    EXPECT_EQ(GetParam().size, LocalFileSize(tree.Path(L"f.bin")));
}

INSTANTIATE_TEST_SUITE_P(LocalFileSize, FileSizeCases, testing::ValuesIn(kSizeCases));

TEST(LocalFileSize, CountsZeroForWhatCannotBeOpened) {
    TempTree tree;
    tree.Make({L"folder\\"});
    EXPECT_EQ(0u, LocalFileSize(tree.Path(L"missing.bin")));
    EXPECT_EQ(0u, LocalFileSize(tree.Path(L"folder")));
    EXPECT_EQ(0u, LocalFileSize(L""));
}

// Another program holds the file open for writing and shares nothing: the
// file counts 0 until it lets go, and is then measured as usual.
TEST(LocalFileSize, FileHeldWithoutSharingCountsZero) {
    TempTree tree;
    tree.MakeFile(L"held.txt", "12345678");
    tree.MakeFile(L"abc.txt", "abc");
    {
        UniqueFile holder(::CreateFileW(tree.Path(L"held.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.valid());
        SetLastError(0xdeadbeef);
        UniqueFile probe(::CreateFileW(tree.Path(L"held.txt").c_str(), GENERIC_READ,
                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_FALSE(probe.valid()) << "sharing is not enforced here";
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());

        EXPECT_EQ(0u, LocalFileSize(tree.Path(L"held.txt")));
        EXPECT_EQ(3u, SumFileSizes({tree.Path(L"held.txt"), tree.Path(L"abc.txt")}));
    }
    EXPECT_EQ(8u, LocalFileSize(tree.Path(L"held.txt")));
}

// A sum past 4 GiB carries into the high half; what cannot be opened adds 0.
TEST(SumFileSizes, CarriesPastFourGiB) {
    TempTree tree;
    tree.MakeFileOfSize(L"one.bin", 3 * GiB);
    tree.MakeFileOfSize(L"two.bin", 3 * GiB);
    tree.MakeFileOfSize(L"odd.bin", 0xFFFFFFFFull);
    tree.MakeFile(L"small.txt", "12345");
    tree.MakeFile(L"empty.txt");

    EXPECT_EQ(0u, SumFileSizes({}));
    EXPECT_EQ(6 * GiB, SumFileSizes({tree.Path(L"one.bin"), tree.Path(L"two.bin")}));
    EXPECT_EQ(
        6 * GiB + 0xFFFFFFFFull + 5,
        SumFileSizes({tree.Path(L"one.bin"), tree.Path(L"missing.bin"), tree.Path(L"two.bin"),
                      tree.Path(L"empty.txt"), tree.Path(L"odd.bin"), tree.Path(L"small.txt")}));
    // The same file twice in the list counts twice.
    EXPECT_EQ(10u, SumFileSizes({tree.Path(L"small.txt"), tree.Path(L"small.txt")}));
}

} // namespace
