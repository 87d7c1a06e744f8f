#pragma once
// Every way in which a person (or a program acting for one) ends the progress
// window, for tests that try each, with the result that the dialog ends with.
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct CloseWay {
    const char* name;
    bool (*close)(HWND); // false when the close could not be delivered
    INT_PTR result;      // what DoModal returns once the dialog ends this way
};

inline const CloseWay CloseWays[] = {
    {"Escape", &driver::SendEscape, IDCANCEL},
    {"Enter", &driver::SendEnter, IDOK},
    {"AltF4", &driver::SendAltF4, IDCANCEL},
    {"CloseBox", &driver::PressCloseBox, IDCANCEL},
    {"CloseMessage", &driver::CloseWindow, IDCANCEL},
    {"OkCommand", &driver::PressOk, IDOK},
    {"CancelCommand", &driver::PressCancel, IDCANCEL},
};

// gtest names a failing row by its way.
inline void PrintTo(const CloseWay& way, std::ostream* out) {
    *out << way.name;
}

inline std::string CloseWayName(const ::testing::TestParamInfo<CloseWay>& info) {
    return info.param.name;
}
