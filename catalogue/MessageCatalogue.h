#pragma once
// The message catalogue: 21 message groups, each in 20 language slots of the
// executable's string table (ids 1 to 420), and the table of string ids for
// the selected slot.
#include <cstdint>
#include <string>

// The title of the progress window and the caption of every message box.
extern const std::wstring CaptionText;

// The language code from which the slot is chosen; the dialog sets it to 1.
extern int32_t LanguageCode;

// String ids of the 19 message roles in the selected slot (index 0 to 18).
constexpr int MessageIdCount = 19;
extern uint32_t MessageId[MessageIdCount];

// Base ids of the message groups: group g has base id 1 + 20 * g, and its
// text in slot s has the id base + s.
enum : uint32_t {
    IDS_PERCENT_COPIED = 1,
    IDS_KEEP_SAVED_ROUTES = 21,
    IDS_NEWER_SOFTWARE = 41,
    IDS_SAME_OR_OLDER_SOFTWARE = 61,
    IDS_WAIT_DELETING = 81,
    IDS_CANCEL = 101,
    IDS_COPY_FINISHED = 121,
    IDS_NOT_ENOUGH_SPACE = 141,
    IDS_NOT_ENOUGH_SPACE_2 = 161,
    IDS_ERROR_OCCURRED = 181,
    IDS_ACTIVESYNC_MISSING = 201,
    IDS_NO_DEVICE = 221,
    IDS_CANNOT_COPY_FILE = 241,
    IDS_MAP_NO_SPACE = 261,
    IDS_WAIT_APPLYING = 281,
    IDS_SELECT_CARD_DRIVE = 301,
    IDS_LANGUAGE_SELECTION = 321,
    IDS_SELECT_TARGET_FOLDER = 341,
    IDS_DELETING = 361,
    IDS_COPYING = 381,
    IDS_RUN_CAB = 401,
};

// Indices into MessageId of the roles that the system shows.
enum MessageRole : int {
    MSG_PERCENT_COPIED = 0,
    MSG_COPY_FINISHED = 6,
    MSG_NOT_ENOUGH_SPACE = 7,
    MSG_ERROR_OCCURRED = 8,
    MSG_ACTIVESYNC_MISSING = 10,
    MSG_NO_DEVICE = 11,
    MSG_WAIT_APPLYING = 12,
};

// Fills MessageId for the slot that the language code selects.
void SelectLanguage(int32_t languageCode);
