#include "catalogue/MessageCatalogue.h"

const std::wstring CaptionText = L"pelko";

int32_t LanguageCode = 0;

uint32_t MessageId[MessageIdCount] = {};

namespace {

// Base id of the group behind each MessageId entry. The roles are not in
// group order, and groups 8 and 13 have no role.
constexpr uint32_t RoleBase[MessageIdCount] = {
    IDS_PERCENT_COPIED,
    IDS_KEEP_SAVED_ROUTES,
    IDS_NEWER_SOFTWARE,
    IDS_SAME_OR_OLDER_SOFTWARE,
    IDS_WAIT_DELETING,
    IDS_CANCEL,
    IDS_COPY_FINISHED,
    IDS_NOT_ENOUGH_SPACE,
    IDS_ERROR_OCCURRED,
    IDS_CANNOT_COPY_FILE,
    IDS_ACTIVESYNC_MISSING,
    IDS_NO_DEVICE,
    IDS_WAIT_APPLYING,
    IDS_SELECT_CARD_DRIVE,
    IDS_LANGUAGE_SELECTION,
    IDS_SELECT_TARGET_FOLDER,
    IDS_COPYING,
    IDS_DELETING,
    IDS_RUN_CAB,
};

uint32_t SlotOf(int32_t languageCode) {
    if (languageCode >= 2 && languageCode <= 12)
        return static_cast<uint32_t>(languageCode - 1);
    switch (languageCode) {
    case 20:
        return 12;
    case 21:
        return 13;
    case 22:
        return 14;
    case 23:
        return 15;
    case 24:
        return 16;
    case 26:
        return 17;
    case 29:
        return 18;
    case 32:
        return 19;
    default:
        return 0; // English, also for every code without a slot of its own
    }
}

} // namespace

void SelectLanguage(int32_t languageCode) {
    const uint32_t slot = SlotOf(languageCode);
    for (int i = 0; i < MessageIdCount; ++i)
        MessageId[i] = RoleBase[i] + slot;
}
