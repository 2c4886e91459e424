#include "tests/support/MessageBoxWatcher.h"

#include "tests/support/Wait.h"

#include <algorithm>

namespace qxt::test {

namespace {

constexpr int kTextId = 0xFFFF;     // the static control holding a message box's text
constexpr DWORD kPollMs = 10;

std::wstring TextOf(HWND wnd)
{
    const int length = ::GetWindowTextLengthW(wnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(wnd, text.data(), length + 1)));
    return text;
}

bool IsClass(HWND wnd, const wchar_t* className)
{
    wchar_t name[64] = {};
    ::GetClassNameW(wnd, name, 64);
    return ::lstrcmpiW(name, className) == 0;
}

struct Search {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK FindBox(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(wnd) || !IsClass(wnd, L"#32770"))
        return TRUE;
    if (search->caption != nullptr && TextOf(wnd) != search->caption)
        return TRUE;
    search->found = wnd;
    return FALSE;
}

HWND FindBoxNow(const wchar_t* caption)
{
    Search search{caption, nullptr};
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

bool HasSystemIcon(const MessageBoxContent& box, const wchar_t* iconId)
{
    return box.icon != nullptr && box.icon == ::LoadIconW(nullptr, iconId);
}

HWND FindMessageBox(const wchar_t* caption, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindBoxNow(caption)) != nullptr; }, timeoutMs);
    return box;
}

MessageBoxContent ReadMessageBox(HWND box)
{
    MessageBoxContent content;
    content.wnd = box;
    content.owner = ::GetWindow(box, GW_OWNER);
    content.caption = TextOf(box);
    if (HWND text = ::GetDlgItem(box, kTextId))
        content.text = TextOf(text);
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child))
            continue;
        if (IsClass(child, L"Button")) {
            content.buttons.push_back(::GetDlgCtrlID(child));
        } else if (IsClass(child, L"Static") && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            content.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        }
    }
    return content;
}

bool PressMessageBoxButton(HWND box, int id)
{
    HWND button = ::GetDlgItem(box, id);
    if (button == nullptr || !::IsWindowVisible(button))
        return false;
    // Posted: the box's own thread ends the box as if the button had been clicked.
    return ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

MessageBoxWatcher::MessageBoxWatcher(std::wstring caption, std::vector<int> answers)
    : m_caption(std::move(caption)), m_answers(answers.empty() ? std::vector<int>{IDOK} : std::move(answers))
{
    m_thread = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

bool MessageBoxWatcher::WaitForBoxes(size_t count, DWORD timeoutMs) const
{
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> hold(m_lock);
            return m_boxes.size() >= count;
        },
        timeoutMs);
}

std::vector<MessageBoxContent> MessageBoxWatcher::Boxes() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_boxes;
}

void MessageBoxWatcher::Run()
{
    while (!m_stop) {
        HWND box = FindBoxNow(m_caption.empty() ? nullptr : m_caption.c_str());
        if (box == nullptr) {
            ::Sleep(kPollMs);
            continue;
        }
        MessageBoxContent content = ReadMessageBox(box);
        size_t index = 0;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            index = m_boxes.size();
        }
        const int asked = m_answers[index < m_answers.size() ? index : m_answers.size() - 1];
        const bool hasAsked = std::find(content.buttons.begin(), content.buttons.end(), asked) != content.buttons.end();
        content.pressed = hasAsked ? asked : (content.buttons.empty() ? 0 : content.buttons.front());
        {
            // Recorded before it is answered: whoever waits for the box to end sees it in the list.
            std::lock_guard<std::mutex> hold(m_lock);
            m_boxes.push_back(content);
        }
        if (content.pressed == 0 || !PressMessageBoxButton(box, content.pressed))
            ::PostMessageW(box, WM_CLOSE, 0, 0);

        // Never answer the same box twice.
        WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
    }
}

}  // namespace qxt::test
