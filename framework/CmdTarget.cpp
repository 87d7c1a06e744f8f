#include "framework/MessageMap.h"

namespace {

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam) {
    if (entry.message != message)
        return false;
    if (message != WM_COMMAND)
        return true;
    // Menus and accelerators send no control handle; of a control's
    // notifications only the click (code 0) is a command.
    const bool isCommand = lParam == 0 || HIWORD(wParam) == 0;
    return isCommand && LOWORD(wParam) == entry.commandId;
}

} // namespace

const MessageMap* CCmdTarget::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

bool CCmdTarget::HandleMappedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    for (const MessageMap* map = GetMessageMap(); map;
         map = map->baseMap ? map->baseMap() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->call; ++entry) {
            if (Matches(*entry, message, wParam, lParam)) {
                *result = entry->call(this, wParam, lParam);
                return true;
            }
        }
    }
    return false;
}
