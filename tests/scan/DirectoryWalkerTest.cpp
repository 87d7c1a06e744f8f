#include "scan/DirectoryWalker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "tests/scan/TempTree.h"

namespace {

struct Step {
    std::wstring relative; // RelativeFolder at the entry
    std::wstring name;
    bool folder;
};

std::vector<Step> Walk(const std::wstring& root, const std::wstring& pattern, bool recursive) {
    std::vector<Step> steps;
    DirectoryWalker walker(root, pattern, recursive);
    // A walk that never ends is a fault; no tree in these tests comes near.
    for (; walker.HasEntry() && steps.size() < 10000; walker.Advance()) {
        steps.push_back(Step{walker.RelativeFolder(), walker.Entry().cFileName,
                             (walker.Entry().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    }
    EXPECT_FALSE(walker.HasEntry()) << "the walk did not end";
    return steps;
}

bool IsDots(const Step& step) {
    return step.name == L"." || step.name == L"..";
}

// Entries as "relative|name", "." and ".." left out: which of them the file
// system reports is its own affair.
std::set<std::wstring> Named(const std::vector<Step>& steps) {
    std::set<std::wstring> named;
    for (const Step& step : steps) {
        if (IsDots(step))
            continue;
        const std::wstring key = step.relative + L"|" + step.name;
        EXPECT_TRUE(named.insert(key).second) << "yielded twice: " << testing::PrintToString(key);
    }
    return named;
}

bool IsBelow(const std::wstring& relative, const std::wstring& folder) {
    return relative.size() > folder.size() && relative.compare(0, folder.size(), folder) == 0 &&
           relative[folder.size()] == L'\\';
}

bool IsWithin(const std::wstring& relative, const std::wstring& folder) {
    return relative == folder || IsBelow(relative, folder);
}

struct WalkCase {
    const char* what;
    std::vector<const wchar_t*> tree;
    const wchar_t* root; // below the tree; empty for the tree itself
    const wchar_t* pattern;
    bool recursive;
    std::set<std::wstring> expected;
    bool noEntryAtAll; // not even "." or ".."
};

const std::vector<const wchar_t*> kNested = {L"a.txt",           L"z.txt",
                                             L"sub\\",           L"sub\\b.txt",
                                             L"sub\\deep\\",     L"sub\\deep\\c.txt",
                                             L"other\\",         L"other\\o.txt",
                                             L".cache\\",        L".cache\\hidden.txt",
                                             L".cache\\inner\\", L".cache\\inner\\i.txt",
                                             L".profile",        L"empty\\"};

const WalkCase kWalkCases[] = {
    {"nested tree, recursion on",
     kNested,
     L"",
     L"*",
     true,
     {L"|a.txt", L"|z.txt", L"|sub", L"|other", L"|.cache", L"|.profile", L"|empty", L"\\sub|b.txt",
      L"\\sub|deep", L"\\sub\\deep|c.txt", L"\\other|o.txt"},
     false},
    {"recursion off yields the root's listing only",
     kNested,
     L"",
     L"*",
     false,
     {L"|a.txt", L"|z.txt", L"|sub", L"|other", L"|.cache", L"|.profile", L"|empty"},
     false},
    {"walk started in a subfolder",
     kNested,
     L"sub",
     L"*",
     true,
     {L"|b.txt", L"|deep", L"\\deep|c.txt"},
     false},
    {"empty folder", {}, L"", L"*", true, {}, false},
    {"missing root", {L"a.txt"}, L"missing", L"*", true, {}, true},
    {"root that is a file", {L"a.txt"}, L"a.txt", L"*", true, {}, true},
    // The root is one folder: a lookup that matches others is not continued.
    {"root path with a wildcard",
     {L"u1\\", L"u1\\a.txt", L"u2\\", L"u2\\b.txt"},
     L"u*",
     L"*",
     true,
     {},
     true},
    // A listing that cannot start (here: nothing matches) is passed over,
    // and the walk goes on into its subfolders and to its siblings.
    {"listings that match nothing are passed over",
     {L"r.dat", L"none\\", L"none\\n.dat", L"none\\inner\\", L"none\\inner\\i.txt",
      L"none\\inner\\j.dat", L"some\\", L"some\\s.txt", L"last\\", L"last\\l.dat"},
     L"",
     L"*.txt",
     true,
     {L"\\none\\inner|i.txt", L"\\some|s.txt"},
     false},
    {"nothing matches anywhere",
     {L"r.dat", L"sub\\", L"sub\\s.dat"},
     L"",
     L"*.txt",
     true,
     {},
     true},
    {"recursion off and a root listing that matches nothing",
     {L"r.dat", L"sub\\", L"sub\\s.txt"},
     L"",
     L"*.txt",
     false,
     {},
     true},
};

void PrintTo(const WalkCase& c, std::ostream* out) {
    *out << c.what;
}

class WalkCases : public testing::TestWithParam<WalkCase> {};

TEST_P(WalkCases, YieldsExactlyTheEntriesOfTheTree) {
    const WalkCase& c = GetParam();
    TempTree tree;
    tree.Make(c.tree);
    const std::wstring root = *c.root ? tree.Path(c.root) : tree.Root();

    const std::vector<Step> steps = Walk(root, c.pattern, c.recursive);

    EXPECT_EQ(c.expected, Named(steps));
    if (c.noEntryAtAll) {
        EXPECT_TRUE(steps.empty());
    }
    for (const Step& step : steps) {
        if (IsDots(step)) {
            EXPECT_TRUE(step.folder);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DirectoryWalker, WalkCases, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(DirectoryWalker, MissingRootHasNoEntryRightAfterConstruction) {
    TempTree tree;
    DirectoryWalker walker(tree.Path(L"missing"), L"*", true);
    EXPECT_FALSE(walker.HasEntry());
    EXPECT_EQ(L"", walker.RelativeFolder());
}

TEST(DirectoryWalker, FirstEntryIsCurrentAfterConstruction) {
    TempTree tree;
    tree.Make({L"only.txt"});
    DirectoryWalker walker(tree.Root(), L"only.*", false);
    ASSERT_TRUE(walker.HasEntry());
    EXPECT_STREQ(L"only.txt", walker.Entry().cFileName);
    EXPECT_EQ(0u, walker.Entry().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(L"", walker.RelativeFolder());
    walker.Advance();
    EXPECT_FALSE(walker.HasEntry());
}

// Whatever order the file system lists names in, the walk is depth-first:
// each folder listed whole, once, after its own entry and before anything
// in its subfolders, and sibling subtrees never interleaved.
TEST(DirectoryWalker, OrderIsDepthFirstWhateverTheListingOrder) {
    TempTree tree;
    tree.Make({L"f1", L"a\\", L"a\\a1", L"a\\x\\", L"a\\x\\x1", L"a\\x\\q\\", L"a\\x\\q\\q1",
               L"a\\y\\", L"a\\y\\y1", L"b\\", L"b\\b1", L"b\\z\\", L"b\\z\\z1", L"c\\", L"c\\w\\",
               L"c\\w\\w1", L"f2"});
    const std::vector<std::wstring> folders = {
        L"", L"\\a", L"\\a\\x", L"\\a\\x\\q", L"\\a\\y", L"\\b", L"\\b\\z", L"\\c", L"\\c\\w"};

    const std::vector<Step> steps = Walk(tree.Root(), L"*", true);
    ASSERT_EQ(17u, Named(steps).size());

    // The relative folders seen are exactly the folders of the tree.
    std::set<std::wstring> seen;
    for (const Step& step : steps)
        seen.insert(step.relative);
    EXPECT_EQ(std::set<std::wstring>(folders.begin(), folders.end()), seen);
    EXPECT_EQ(L"", steps.front().relative) << "the root's listing comes first";

    auto first = [&](auto match) {
        return std::find_if(steps.begin(), steps.end(), match) - steps.begin();
    };
    auto last = [&](auto match) {
        return steps.rend() - std::find_if(steps.rbegin(), steps.rend(), match) - 1;
    };
    for (const std::wstring& folder : folders) {
        auto inListing = [&](const Step& s) { return s.relative == folder; };
        auto inSubfolder = [&](const Step& s) { return IsBelow(s.relative, folder); };
        const auto listingBegin = first(inListing), listingEnd = last(inListing);
        // Listed whole and once: nothing else between its first and last entry.
        for (auto i = listingBegin; i <= listingEnd; ++i) {
            EXPECT_EQ(folder, steps[i].relative) << "listing of " << testing::PrintToString(folder);
        }
        // The whole listing before anything inside its subfolders.
        if (std::any_of(steps.begin(), steps.end(), inSubfolder)) {
            EXPECT_LT(listingEnd, first(inSubfolder)) << testing::PrintToString(folder);
        }
        if (folder.empty())
            continue;
        // Its own entry, in its parent's listing, before its contents.
        const std::wstring parent = folder.substr(0, folder.rfind(L'\\'));
        const std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
        const auto entry =
            first([&](const Step& s) { return s.relative == parent && s.name == name; });
        ASSERT_LT(static_cast<size_t>(entry), steps.size());
        EXPECT_TRUE(steps[entry].folder);
        EXPECT_LT(entry, listingBegin) << testing::PrintToString(folder);
    }
    // Sibling subtrees do not interleave.
    for (const std::wstring& one : folders) {
        for (const std::wstring& other : folders) {
            if (one.empty() || other.empty() || IsWithin(one, other) || IsWithin(other, one))
                continue;
            auto inOne = [&](const Step& s) { return IsWithin(s.relative, one); };
            auto inOther = [&](const Step& s) { return IsWithin(s.relative, other); };
            EXPECT_TRUE(last(inOne) < first(inOther) || last(inOther) < first(inOne))
                << testing::PrintToString(one) << " and " << testing::PrintToString(other);
        }
    }
}

TEST(DirectoryWalker, EmptyFolderYieldsOnlyDotEntries) {
    TempTree tree;
    const std::vector<Step> steps = Walk(tree.Root(), L"*", true);
    EXPECT_LE(steps.size(), 2u);
    for (const Step& step : steps)
        EXPECT_TRUE(IsDots(step)) << testing::PrintToString(step.name);
}

// A bare drive cannot be looked up, but is listed as drive + "\" + pattern.
TEST(DirectoryWalker, BareDriveIsListed) {
    TempTree tree;
    const std::wstring drive = tree.Root().substr(0, 2);
    ASSERT_EQ(L':', drive[1]);
    const std::wstring top = tree.Root().substr(3, tree.Root().find(L'\\', 3) - 3);

    const std::vector<Step> steps = Walk(drive, L"*", false);

    const std::set<std::wstring> named = Named(steps);
    EXPECT_EQ(1u, named.count(L"|" + top)) << testing::PrintToString(top);
    for (const Step& step : steps)
        EXPECT_EQ(L"", step.relative);
}

// A folder link is listed like any folder but never entered, so a link back
// to an ancestor cannot make the walk endless.
TEST(DirectoryWalker, FolderLinkIsListedButNotEntered) {
    TempTree tree;
    tree.Make({L"top.txt", L"a\\", L"a\\a1.txt", L"b\\", L"b\\b1.txt"});
    if (!tree.MakeFolderLink(L"a\\up", L"")) // a\up leads back to the root
        GTEST_SKIP() << "no folder link can be made on this system";
    ASSERT_TRUE(tree.MakeFolderLink(L"b\\side", L"a"));

    const std::vector<Step> steps = Walk(tree.Root(), L"*", true);

    EXPECT_EQ((std::set<std::wstring>{L"|top.txt", L"|a", L"|b", L"\\a|a1.txt", L"\\a|up",
                                      L"\\b|b1.txt", L"\\b|side"}),
              Named(steps));
    for (const Step& step : steps) {
        if (step.name == L"up" || step.name == L"side") {
            EXPECT_TRUE(step.folder);
        }
    }
}

} // namespace
