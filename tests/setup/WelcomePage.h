// The welcome page's folder edit and its start, browse and close buttons, as
// real child controls of a recording window, for the start command.
#pragma once

#include "res/resource.h"
#include "tests/support/MessageRecorder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace qxt::test {

inline constexpr int kWelcomeControls[] = {IDC_INSTALL_PATH, IDC_START, IDC_BROWSE, IDC_CLOSE};

// Created and destroyed on the recorder's thread: like a dialog's controls
// they belong to the window's thread, which keeps pumping messages while
// another thread enables or reads them.
class WelcomePage {
public:
    WelcomePage(const MessageRecorder& dialog, const wchar_t* folder) : m_recorder(dialog), m_dialog(dialog.Window())
    {
        m_recorder.RunOnWindowThread([&] {
            Add(L"EDIT", folder, IDC_INSTALL_PATH);
            Add(L"BUTTON", L"start", IDC_START);
            Add(L"BUTTON", L"browse", IDC_BROWSE);
            Add(L"BUTTON", L"close", IDC_CLOSE);
        });
    }
    WelcomePage(const WelcomePage&) = delete;
    WelcomePage& operator=(const WelcomePage&) = delete;
    ~WelcomePage()
    {
        m_recorder.RunOnWindowThread([&] {
            for (HWND control : m_controls)
                ::DestroyWindow(control);
        });
    }

    bool Enabled(int id) const { return ::IsWindowEnabled(::GetDlgItem(m_dialog, id)) != FALSE; }
    void Enable(int id, bool enable) { ::EnableWindow(::GetDlgItem(m_dialog, id), enable); }

private:
    void Add(const wchar_t* cls, const wchar_t* text, int id)
    {
        HWND control = ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, m_dialog,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        EXPECT_NE(control, nullptr) << "control " << id;
        m_controls.push_back(control);
    }

    const MessageRecorder& m_recorder;
    HWND m_dialog;
    std::vector<HWND> m_controls;
};

}  // namespace qxt::test
