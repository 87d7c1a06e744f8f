#include "catalogue/MessageText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Slot 0 (English) of every group, in group order.
const wchar_t* const English[21] = {
    L"% copied",
    L"A previous installation probably has saved favourites, recent destinations and / or "
    L"planned routes. \nWould you like to keep these?",
    L"New software is available for this device. Would you like to install the new version now?",
    L"The same or an older software version is already installed. Would you still like to "
    L"continue?",
    L"Please wait until the files have been deleted. This can take a few minutes.",
    L"Cancel",
    L"Copying finished successfully.",
    L"There is not enough free storage capacity on the selected drive.",
    L"There is not enough free storage capacity on the selected drive.",
    L"An error occurred.",
    L"ActiveSync\u00AE is not installed. Please install ActiveSync\u00AE first.",
    L"No navigation device found.",
    L"Cannot copy the %s file. \nDo you still want to continue with the installation?",
    L"Your memory card has insufficient space for the chosen map. However, the '%s' map has been "
    L"found on the memory card. \nWould you like to delete '%s' to free up some space on your "
    L"card?",
    L"Please wait until the changes have been applied.",
    L"Please select the drive with the 'Quorvel\u00A06' storage card.",
    L"Language selection",
    L"Select the destination folder",
    L"Deleting:",
    L"Copying:",
    L"Insert the memory card into your device and run the CAB file on the memory card.",
};

constexpr int GroupCount = 21;
constexpr int SlotCount = 20;

uint32_t TextId(int group, int slot) {
    return static_cast<uint32_t>(1 + 20 * group + slot);
}

std::wstring Text(uint32_t id) {
    return LoadMessageText(GetModuleHandleW(nullptr), id);
}
std::wstring Text(int group, int slot) {
    return Text(TextId(group, slot));
}

size_t Count(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool HasBlock(int block) {
    return FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(block), RT_STRING) !=
           nullptr;
}

TEST(LoadMessageText, EnglishSlotHoldsTheEnglishTexts) {
    for (int g = 0; g < GroupCount; ++g)
        EXPECT_EQ(Text(g, 0), English[g]) << "group " << g;
}

TEST(LoadMessageText, PercentSuffixIsEightCharacters) {
    const std::wstring text = Text(1);
    EXPECT_EQ(text, L"% copied");
    EXPECT_EQ(text.size(), 8u);
}

TEST(LoadMessageText, LineBreakIsOneLineFeedAfterASpace) {
    const std::wstring text = Text(21);
    EXPECT_EQ(Count(text, L"\n"), 1u);
    EXPECT_EQ(text.find(L'\r'), std::wstring::npos);
    EXPECT_EQ(text.substr(text.find(L'\n') - 1, 2), L" \n");
}

TEST(LoadMessageText, GermanActiveSyncTextKeepsBothRegisteredSigns) {
    EXPECT_EQ(
        Text(202),
        L"ActiveSync\u00AE ist nicht installiert. Bitte installieren Sie zuerst ActiveSync\u00AE.");
}

TEST(LoadMessageText, MissingTextsAreEmpty) {
    struct Case {
        uint32_t id;
        int block;
        bool blockExists;
    } const cases[] = {{0, 1, true}, {430, 27, true}, {421, 27, true}, {500, 32, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(HasBlock(c.block), c.blockExists) << "block " << c.block;
        EXPECT_EQ(Text(c.id), L"") << "id " << c.id;
    }
}

TEST(LoadMessageText, EveryCatalogueIdHasAText) {
    for (uint32_t id = 1; id <= 420; ++id) {
        const std::wstring text = Text(id);
        EXPECT_FALSE(text.empty()) << "id " << id;
        EXPECT_EQ(text.find(L'\r'), std::wstring::npos) << "id " << id;
        EXPECT_EQ(text.find(L'\0'), std::wstring::npos) << "id " << id;
    }
}

TEST(LoadMessageText, SpecialCells) {
    struct Case {
        uint32_t id;
        const wchar_t* text;
    } const cases[] = {
        {80, L"A szoftverhez rendelkez\u00E9sre \u00E1ll egy \u00FAjabb t\u00E9rk\u00E9p. "
             L"\u00C1t k\u00EDv\u00E1nja venni most ezt a t\u00E9rk\u00E9pet?"},
        {260, English[12]},
        {280, English[13]},
        {314, L"Please select the drive where your 'Quorvel\u00A06' storage card is located."},
        {351, L"Velg en annen m\u00E5lmappe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.id), c.text) << "id " << c.id;
}

TEST(LoadMessageText, BackslashesAroundMapNamesAreShown) {
    const std::wstring framed = L"\\'%s\\'";
    // Portuguese: the closing apostrophe is missing, only the backslash follows.
    const std::wstring portuguese = Text(267);
    EXPECT_EQ(Count(portuguese, L"%s"), 2u);
    EXPECT_EQ(Count(portuguese, L"\\'%s\\"), 2u);
    EXPECT_EQ(Count(portuguese, framed), 0u);
    EXPECT_EQ(Count(portuguese, L"'"), 2u);
    // Czech names the map once.
    const std::wstring czech = Text(272);
    EXPECT_EQ(Count(czech, L"%s"), 1u);
    EXPECT_EQ(Count(czech, framed), 1u);
    for (uint32_t id : {276u, 277u}) {
        EXPECT_EQ(Count(Text(id), L"%s"), 2u) << "id " << id;
        EXPECT_EQ(Count(Text(id), framed), 2u) << "id " << id;
    }
}

TEST(LoadMessageText, SecondSpaceWarningEqualsTheFirstInEverySlot) {
    for (int s = 0; s < SlotCount; ++s)
        EXPECT_EQ(Text(8, s), Text(7, s)) << "slot " << s;
}

TEST(LoadMessageText, CardDriveTextHasANoBreakSpaceExceptInGerman) {
    for (int s = 0; s < SlotCount; ++s) {
        const std::wstring text = Text(15, s);
        EXPECT_EQ(Count(text, L"Quorvel\u00A06"), s == 1 ? 0u : 1u) << "slot " << s;
        EXPECT_EQ(Count(text, L"Quorvel 6"), s == 1 ? 1u : 0u) << "slot " << s;
    }
}

TEST(LoadMessageText, CopiedSlotsEqualTheirSources) {
    struct Copy {
        int slot;
        int source;
    } const copies[] = {{12, 0}, {13, 0}, {14, 3}, {17, 5}, {18, 0}};
    for (const Copy& c : copies)
        for (int g = 0; g < GroupCount; ++g) {
            if (g == 15 && c.slot == 13)
                continue; // id 314 has its own wording
            EXPECT_EQ(Text(g, c.slot), Text(g, c.source)) << "group " << g << " slot " << c.slot;
        }
}

TEST(LoadMessageText, TranslationsKeepPlaceholdersAndLineBreaks) {
    for (int g = 0; g < GroupCount; ++g)
        for (int s = 0; s < SlotCount; ++s) {
            const std::wstring text = Text(g, s);
            const uint32_t id = TextId(g, s);
            const size_t placeholders = Count(text, L"%s");
            const size_t expected = id == 272 ? 1u : Count(English[g], L"%s");
            EXPECT_EQ(placeholders, expected) << "id " << id;
            // A percent sign is either a placeholder or, in group 0, the leading sign.
            EXPECT_EQ(Count(text, L"%"), placeholders + (g == 0 ? 1 : 0)) << "id " << id;
            if (g == 0) {
                EXPECT_EQ(text.rfind(L"% ", 0), 0u) << "id " << id;
            }
            EXPECT_EQ(Count(text, L" \n"), Count(English[g], L" \n")) << "id " << id;
            EXPECT_EQ(Count(text, L"\n"), Count(English[g], L"\n")) << "id " << id;
        }
}

TEST(SystemErrorText, KnownCodeEndsInCarriageReturnLineFeed) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    EXPECT_EQ(text.find(L'\0'), std::wstring::npos);
}

TEST(SystemErrorText, UnknownCodeIsEmpty) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SystemErrorText(0x2000FFFF), L"");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

TEST(LastErrorText, ReadsTheLastErrorOfThisThread) {
    const std::wstring expected = SystemErrorText(ERROR_FILE_NOT_FOUND);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileW(L"C:\\pelko-catalogue-no-such-file.tmp"));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const std::wstring missing = LastErrorText();
    EXPECT_EQ(missing, expected);

    SetLastError(ERROR_ACCESS_DENIED);
    const std::wstring denied = LastErrorText();
    EXPECT_EQ(denied, SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_NE(denied, expected);

    SetLastError(0x2000FFFF);
    const std::wstring unknown = LastErrorText();
    EXPECT_EQ(unknown, L"");
}

} // namespace
