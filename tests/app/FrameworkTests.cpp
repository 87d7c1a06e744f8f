// The framework layer on its own: message maps, the string class and
// threads.
#include "framework/String.h"
#include "framework/WinApp.h"
#include "framework/WinThread.h"

#include <gtest/gtest.h>

namespace {

class BaseTarget : public CCmdTarget {
public:
    LRESULT OnNumber(WPARAM wParam, LPARAM lParam) {
        calls += L"base";
        return static_cast<LRESULT>(wParam + lParam);
    }
    LRESULT OnShared(WPARAM, LPARAM) {
        calls += L"base-shared";
        return 1;
    }
    std::wstring calls;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseTarget, CCmdTarget)
ON_MESSAGE(WM_APP + 1, OnNumber)
ON_MESSAGE(WM_APP + 2, OnShared)
END_MESSAGE_MAP()

class DerivedTarget : public BaseTarget {
public:
    LRESULT OnShared(WPARAM, LPARAM) {
        calls += L"derived-shared";
        return 2;
    }
    void OnHelpCommand() { calls += L"help"; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedTarget, BaseTarget)
ON_MESSAGE(WM_APP + 2, OnShared)
ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

TEST(MessageMap, FindsTheFirstEntryOfTheClassBeforeItsBase) {
    DerivedTarget target;
    LRESULT result = -1;
    ASSERT_TRUE(target.HandleMappedMessage(WM_APP + 2, 0, 0, &result));
    EXPECT_EQ(2, result);
    ASSERT_TRUE(target.HandleMappedMessage(WM_APP + 1, 40, 2, &result));
    EXPECT_EQ(42, result);
    EXPECT_EQ(L"derived-sharedbase", target.calls);
}

TEST(MessageMap, CommandsMatchTheirIdFromMenusAndClicksOnly) {
    struct Case {
        WPARAM wParam;
        LPARAM lParam;
        bool handled;
    };
    const Case cases[] = {
        {ID_HELP, 0, true},                              // menu
        {MAKEWPARAM(ID_HELP, 1), 0, true},               // accelerator
        {MAKEWPARAM(ID_HELP, BN_CLICKED), 0x1234, true}, // button click
        {MAKEWPARAM(ID_HELP, EN_CHANGE), 0x1234, false}, // other notification
        {ID_HELP + 1, 0, false},
    };
    for (const Case& c : cases) {
        DerivedTarget target;
        LRESULT result = -1;
        EXPECT_EQ(c.handled, target.HandleMappedMessage(WM_COMMAND, c.wParam, c.lParam, &result))
            << std::hex << c.wParam;
        EXPECT_EQ(c.handled ? L"help" : L"", target.calls);
    }
}

TEST(MessageMap, LeavesTheResultAloneWhenNothingMatches) {
    DerivedTarget target;
    LRESULT result = 77;
    EXPECT_FALSE(target.HandleMappedMessage(WM_PAINT, 0, 0, &result));
    EXPECT_EQ(77, result);
}

TEST(CStringFormat, UsesWideStringsAndIntegers) {
    CString suffix(L"% copied");
    CString text;
    text.Format(L"\r\n%i%s", 42, suffix.GetString());
    EXPECT_STREQ(L"\r\n42% copied", text);
    text.Format(L"%s|%i|%%", L"\u00AE\u00A0x", -7);
    EXPECT_STREQ(L"\u00AE\u00A0x|-7|%", text);
}

TEST(CStringLoad, ReadsTheCountedTextOrStaysEmpty) {
    CString text(L"old");
    ASSERT_TRUE(text.LoadString(1));
    EXPECT_STREQ(L"% copied", text);
    EXPECT_EQ(8, text.GetLength());
    const UINT missing[] = {0, 430, 60000}; // no text in block 1, 27; no block 3751
    for (UINT id : missing) {
        text = CString(L"old");
        EXPECT_FALSE(text.LoadString(id)) << id;
        EXPECT_TRUE(text.IsEmpty()) << id;
    }
}

UINT __cdecl RecordThread(LPVOID parameter) {
    *static_cast<DWORD*>(parameter) = ::GetCurrentThreadId();
    return 5;
}

TEST(AfxBeginThread, RunsTheProcedureWithItsParameter) {
    DWORD ranOn = 0;
    CWinThread* thread =
        AfxBeginThread(RecordThread, &ranOn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(nullptr, thread);
    const DWORD id = thread->m_nThreadID;
    // Our own handle keeps the thread object readable after the library
    // deleted its CWinThread.
    HANDLE copy = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), thread->m_hThread, ::GetCurrentProcess(),
                                  &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    UniqueHandle ownHandle(copy);
    ::Sleep(50);
    EXPECT_EQ(0u, ranOn) << "created suspended";
    ::ResumeThread(thread->m_hThread);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ownHandle.get(), 10000));
    EXPECT_EQ(id, ranOn);
    DWORD code = 0;
    ASSERT_TRUE(::GetExitCodeThread(ownHandle.get(), &code));
    EXPECT_EQ(5u, code);
}

} // namespace
