// qxtdriver.exe SETUP_EXE SCREENSHOT_FOLDER
//
// Starts the setup program, waits for its dialog, takes a screenshot of the
// welcome page, starts the installation, takes screenshots of the progress
// and finish pages, presses the finish button and waits for the program to
// end. An error box is photographed, reported and answered, and the run then
// fails. Exit code 0 when the installation went through.
#include "res/resource.h"
#include "tests/support/UiDriver.h"

#include <windows.h>
#include <objidl.h>  // WIN32_LEAN_AND_MEAN leaves out what GDI+ needs
#include <gdiplus.h>

#include <cstdio>
#include <string>

using namespace qxt::test;

namespace {

void Say(const wchar_t* format, const std::wstring& text = L"")
{
    // The console may not take Chinese; UTF-8 bytes do for a Linux terminal.
    wchar_t line[2048] = {};
    std::swprintf(line, 2048, format, text.c_str());
    char bytes[8192] = {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, size > 0 ? size - 1 : 0, &written, nullptr);
}

bool Shot(HWND wnd, const std::wstring& folder, const wchar_t* name)
{
    const std::wstring path = folder + L"\\" + name;
    ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(300);  // let the panel's fade and the controls finish painting
    const bool saved = SaveWindowScreenshot(wnd, path);
    Say(saved ? L"screenshot: %ls\n" : L"screenshot failed: %ls\n", path);
    return saved;
}

bool Visible(HWND dialog, int id)
{
    return ReadControl(dialog, id).visible;
}

}  // namespace

// qxtdriver --startup-time SETUP_EXE RUNS: prints the milliseconds from
// starting the program to its dialog being visible, for every run.
int MeasureStartup(const std::wstring& setup, int runs)
{
    for (int run = 0; run < runs; ++run) {
        ProgramRun program;
        LARGE_INTEGER frequency, start, shown;
        ::QueryPerformanceFrequency(&frequency);
        ::QueryPerformanceCounter(&start);
        if (!program.Start(setup))
            return 1;
        HWND dialog = nullptr;
        WaitUntil([&] { return (dialog = WaitForTopWindow(program.Pid(), L"#32770", L"QXTSetup", 0)) != nullptr; },
                  60000);
        ::QueryPerformanceCounter(&shown);
        if (!dialog)
            return 1;
        const double ms = 1000.0 * static_cast<double>(shown.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        Say(L"startup_ms %ls\n", std::to_wstring(static_cast<long>(ms)));
        program.Kill();
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wstring(argv[1]) == L"--startup-time")
        return MeasureStartup(argv[2], _wtoi(argv[3]));
    if (argc != 3) {
        Say(L"usage: qxtdriver SETUP_EXE SCREENSHOT_FOLDER | --startup-time SETUP_EXE RUNS\n");
        return 2;
    }
    const std::wstring setup = argv[1];
    const std::wstring shots = argv[2];
    ::CreateDirectoryW(shots.c_str(), nullptr);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    ProgramRun program;
    if (!program.Start(setup)) {
        Say(L"cannot start %ls\n", setup);
        return 1;
    }
    HWND dialog = WaitForTopWindow(program.Pid(), L"#32770", L"QXTSetup", 30000);
    if (!dialog) {
        Say(L"the setup dialog did not appear\n");
        return 1;
    }
    WaitUntil([&] { return Visible(dialog, IDC_START); });
    Say(L"welcome page: install folder %ls\n", ReadControl(dialog, IDC_INSTALL_PATH).text);
    Shot(dialog, shots, L"1-welcome.png");

    Click(dialog, IDC_START);
    if (WaitUntil([&] { return Visible(dialog, IDC_PROGRESS); }, 20000)) {
        WaitUntil([&] { return !ReadControl(dialog, IDC_STATUS).text.empty(); }, 5000);
        Say(L"progress page: %ls\n", ReadControl(dialog, IDC_STATUS).text);
        Shot(dialog, shots, L"2-progress.png");
    }

    // The installation runs; an error box ends the drive.
    bool finished = false;
    WaitUntil(
        [&] {
            finished = Visible(dialog, IDC_FINISH);
            return finished || !NoTopWindow(program.Pid(), L"#32770", L"错误");
        },
        600000);
    if (!finished) {
        MessageBoxInfo box = WaitForMessageBox(program.Pid(), 1000);
        if (box.wnd) {
            Shot(box.wnd, shots, L"error-box.png");
            Say(L"error box: %ls\n", box.text);
            AnswerMessageBox(box, box.buttons.empty() ? IDOK : box.buttons.front());
        } else {
            Say(L"the installation did not finish\n");
        }
        return 1;
    }
    Say(L"finish page reached\n");
    Shot(dialog, shots, L"3-finish.png");

    Click(dialog, IDC_FINISH);
    DWORD code = 1;
    if (!program.WaitForExit(30000, &code)) {
        Say(L"the setup program did not end after the finish button\n");
        return 1;
    }
    Say(L"setup program ended with exit code %ls\n", std::to_wstring(code));
    Gdiplus::GdiplusShutdown(token);
    return code == 0 ? 0 : 1;
}
