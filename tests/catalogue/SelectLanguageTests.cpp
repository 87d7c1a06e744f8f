#include "catalogue/MessageCatalogue.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Base id of each MessageId entry, in entry order.
constexpr uint32_t EntryBase[MessageIdCount] = {1,   21,  41,  61,  81,  101, 121, 141, 181, 241,
                                                201, 221, 281, 301, 321, 341, 381, 361, 401};

void FillWithGarbage() {
    for (uint32_t& id : MessageId)
        id = 0xDEADBEEF;
}

struct CodeAndSlot {
    int32_t code;
    uint32_t slot;
};

TEST(SelectLanguage, EveryEntryIsItsGroupBasePlusTheSlotOfTheCode) {
    const CodeAndSlot cases[] = {
        {1, 0},   {2, 1},   {3, 2},   {7, 6},    {11, 10},     {12, 11},     {13, 0},  {19, 0},
        {20, 12}, {21, 13}, {22, 14}, {23, 15},  {24, 16},     {25, 0},      {26, 17}, {27, 0},
        {28, 0},  {29, 18}, {30, 0},  {31, 0},   {32, 19},     {33, 0},      {0, 0},   {-1, 0},
        {-2, 0},  {100, 0}, {258, 0}, {-255, 0}, {INT_MAX, 0}, {INT_MIN, 0},
    };
    for (const CodeAndSlot& c : cases) {
        FillWithGarbage();
        SelectLanguage(c.code);
        for (int i = 0; i < MessageIdCount; ++i)
            EXPECT_EQ(MessageId[i], EntryBase[i] + c.slot) << "code " << c.code << " entry " << i;
    }
}

TEST(SelectLanguage, EnglishFillsTheListedIds) {
    FillWithGarbage();
    SelectLanguage(1);
    const uint32_t expected[MessageIdCount] = {1,   21,  41,  61,  81,  101, 121, 141, 181, 241,
                                               201, 221, 281, 301, 321, 341, 381, 361, 401};
    for (int i = 0; i < MessageIdCount; ++i)
        EXPECT_EQ(MessageId[i], expected[i]) << "entry " << i;
    EXPECT_EQ(MessageId[MSG_PERCENT_COPIED], IDS_PERCENT_COPIED);
    EXPECT_EQ(MessageId[MSG_WAIT_APPLYING], IDS_WAIT_APPLYING);
    EXPECT_EQ(MessageId[MSG_ERROR_OCCURRED], IDS_ERROR_OCCURRED);
}

TEST(SelectLanguage, GermanAndHungarianEntries) {
    SelectLanguage(2);
    EXPECT_EQ(MessageId[MSG_ACTIVESYNC_MISSING], 202u);
    SelectLanguage(32);
    EXPECT_EQ(MessageId[MSG_PERCENT_COPIED], 20u);
}

TEST(SelectLanguage, GroupsEightAndThirteenAreNeverSelected) {
    for (int32_t code = -5; code <= 40; ++code) {
        SelectLanguage(code);
        for (uint32_t id : MessageId) {
            EXPECT_FALSE(id >= 161 && id <= 180) << "code " << code << " id " << id;
            EXPECT_FALSE(id >= 261 && id <= 280) << "code " << code << " id " << id;
        }
    }
}

TEST(SelectLanguage, GroupSymbolsAreTheBaseIds) {
    const uint32_t symbols[] = {IDS_PERCENT_COPIED,
                                IDS_KEEP_SAVED_ROUTES,
                                IDS_NEWER_SOFTWARE,
                                IDS_SAME_OR_OLDER_SOFTWARE,
                                IDS_WAIT_DELETING,
                                IDS_CANCEL,
                                IDS_COPY_FINISHED,
                                IDS_NOT_ENOUGH_SPACE,
                                IDS_NOT_ENOUGH_SPACE_2,
                                IDS_ERROR_OCCURRED,
                                IDS_ACTIVESYNC_MISSING,
                                IDS_NO_DEVICE,
                                IDS_CANNOT_COPY_FILE,
                                IDS_MAP_NO_SPACE,
                                IDS_WAIT_APPLYING,
                                IDS_SELECT_CARD_DRIVE,
                                IDS_LANGUAGE_SELECTION,
                                IDS_SELECT_TARGET_FOLDER,
                                IDS_DELETING,
                                IDS_COPYING,
                                IDS_RUN_CAB};
    for (uint32_t g = 0; g < 21; ++g)
        EXPECT_EQ(symbols[g], 1 + 20 * g) << "group " << g;
}

TEST(CaptionText, IsPelko) {
    EXPECT_EQ(CaptionText, L"pelko");
    EXPECT_EQ(CaptionText.size(), 5u);
}

} // namespace
