#pragma once
// Where the minimised dialog draws its icon: centred in the client area,
// rounding half a pixel toward the bottom right.
#include <windows.h>

inline POINT IconPlacement(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
    return POINT{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}
