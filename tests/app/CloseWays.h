#pragma once
// The ways a person closes the progress window, for tests that try each.
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include <string>

struct CloseWay {
    const char* name;
    bool (*close)(HWND); // false when the close could not be delivered
};

inline const CloseWay CloseWays[] = {
    {"Escape", &driver::SendEscape},
    {"CloseBox", &driver::CloseWindow},
};

inline std::string CloseWayName(const ::testing::TestParamInfo<CloseWay>& info) {
    return info.param.name;
}
