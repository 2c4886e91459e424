#include "tests/support/MessageRecorder.h"

#include "controls/ImageSwitch.h"
#include "core/SetupMessages.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace qxt::test {

namespace {

const wchar_t kClassName[] = L"QxtTestMessageRecorder";
constexpr DWORD kThreadTimeoutMs = 10000;
// Carries RunOnWindowThread's work; above the recorded range.
constexpr UINT kRunWorkMessage = WM_APP + 0x3FFF;

struct MessageNameEntry {
    UINT message;
    const char* name;
};

const MessageNameEntry kMessageNames[] = {
    {WM_SETUP_BEGIN, "WM_SETUP_BEGIN"},
    {WM_SETUP_COMPLETE, "WM_SETUP_COMPLETE"},
    {WM_SETUP_ERROR, "WM_SETUP_ERROR"},
    {WM_SETUP_STEP, "WM_SETUP_STEP"},
    {WM_DOWNLOAD_BEGIN, "WM_DOWNLOAD_BEGIN"},
    {WM_DOWNLOAD_FILE_INDEX, "WM_DOWNLOAD_FILE_INDEX"},
    {WM_DOWNLOAD_PROGRESS, "WM_DOWNLOAD_PROGRESS"},
    {WM_SETUP_STATUS_TEXT, "WM_SETUP_STATUS_TEXT"},
    {WM_DOWNLOAD_COMPLETE, "WM_DOWNLOAD_COMPLETE"},
    {WM_DOWNLOAD_FAILED, "WM_DOWNLOAD_FAILED"},
    {WM_IMAGESWITCH_SELECTED, "WM_IMAGESWITCH_SELECTED"},
    {WM_IMAGESWITCH_HOVER, "WM_IMAGESWITCH_HOVER"},
    {WM_NCCREATE, "WM_NCCREATE"},
    {WM_CREATE, "WM_CREATE"},
    {WM_DESTROY, "WM_DESTROY"},
    {WM_NCDESTROY, "WM_NCDESTROY"},
    {WM_CLOSE, "WM_CLOSE"},
    {WM_PAINT, "WM_PAINT"},
    {WM_NCPAINT, "WM_NCPAINT"},
    {WM_ERASEBKGND, "WM_ERASEBKGND"},
    {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
    {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
    {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
    {WM_SIZE, "WM_SIZE"},
    {WM_MOVE, "WM_MOVE"},
    {WM_TIMER, "WM_TIMER"},
    {WM_COMMAND, "WM_COMMAND"},
    {WM_ENABLE, "WM_ENABLE"},
    {WM_SETTEXT, "WM_SETTEXT"},
    {WM_GETTEXT, "WM_GETTEXT"},
};

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                          nullptr, nullptr);
    return out;
}

std::string Number(std::int64_t value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    return buffer;
}

std::string DescribeValue(const ExpectedValue& value)
{
    switch (value.GetKind()) {
    case ExpectedValue::Kind::Any:
        return "any";
    case ExpectedValue::Kind::Text:
        return "\"" + Narrow(value.Text()) + "\"";
    case ExpectedValue::Kind::Number:
        break;
    }
    return Number(value.Number());
}

// hasText: the parameter carried a text (then number is a pointer's value).
bool Matches(const ExpectedValue& expected, std::int64_t number, bool hasText, const std::wstring& text)
{
    switch (expected.GetKind()) {
    case ExpectedValue::Kind::Any:
        return true;
    case ExpectedValue::Kind::Text:
        return hasText && text == expected.Text();
    case ExpectedValue::Kind::Number:
        break;
    }
    return !hasText && expected.Number() == number;
}

bool Matches(const ExpectedMessage& expected, const RecordedMessage& actual)
{
    return expected.message == actual.message &&
           Matches(expected.wParam, static_cast<std::int64_t>(actual.wParam), actual.hasText, actual.text) &&
           Matches(expected.lParam, static_cast<std::int64_t>(actual.lParam), actual.hasLParamText,
                   actual.lParamText);
}

void RegisterRecorderClass(WNDPROC proc)
{
    static std::once_flag once;
    std::call_once(once, [proc] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kClassName;
        ::RegisterClassW(&wc);
    });
}

}  // namespace

std::string MessageName(UINT message)
{
    if (message == kNote)
        return "note";
    for (const auto& entry : kMessageNames)
        if (entry.message == message)
            return entry.name;
    char buffer[32];
    if (message >= WM_USER && message < WM_APP)
        std::snprintf(buffer, sizeof buffer, "WM_USER+%u", message - WM_USER);
    else
        std::snprintf(buffer, sizeof buffer, "msg 0x%04x", message);
    return buffer;
}

std::string Describe(const RecordedMessage& message)
{
    std::string wParam = message.hasText ? "\"" + Narrow(message.text) + "\""
                                         : Number(static_cast<std::int64_t>(message.wParam));
    std::string lParam = message.hasLParamText ? "\"" + Narrow(message.lParamText) + "\""
                                               : Number(static_cast<std::int64_t>(message.lParam));
    std::string line = MessageName(message.message) + "(" + wParam + ", " + lParam + ")";
    if (message.answer != 0)
        line += " -> " + Number(message.answer);
    return line;
}

std::string Describe(const ExpectedMessage& message)
{
    return MessageName(message.message) + "(" + DescribeValue(message.wParam) + ", " +
           DescribeValue(message.lParam) + ")";
}

::testing::AssertionResult MatchesSequence(const std::vector<RecordedMessage>& actual,
                                           std::span<const ExpectedMessage> expected)
{
    size_t first = 0;
    while (first < actual.size() && first < expected.size() && Matches(expected[first], actual[first]))
        ++first;
    if (first == actual.size() && first == expected.size())
        return ::testing::AssertionSuccess();

    auto failure = ::testing::AssertionFailure();
    failure << "message sequences differ at entry " << first << ": expected "
            << (first < expected.size() ? Describe(expected[first]) : std::string("the end"))
            << ", got " << (first < actual.size() ? Describe(actual[first]) : std::string("the end"))
            << "\n";
    const size_t rows = std::max(actual.size(), expected.size());
    for (size_t i = 0; i < rows; ++i) {
        const std::string left = i < expected.size() ? Describe(expected[i]) : "-";
        const std::string right = i < actual.size() ? Describe(actual[i]) : "-";
        char index[16];
        std::snprintf(index, sizeof index, "%3u", static_cast<unsigned>(i));
        failure << (i == first ? " >> " : "    ") << index << "  expected " << left;
        failure << std::string(left.size() < 44 ? 44 - left.size() : 1, ' ') << "got " << right << "\n";
    }
    return failure;
}

MessageRecorder::MessageRecorder(bool visible)
    : m_visible(visible), m_textMessages{WM_SETUP_STATUS_TEXT, WM_DOWNLOAD_FAILED}
{
    m_filter = [](UINT message) { return (message >= WM_USER && message < 0x8000) || message == kNote; };
    RegisterRecorderClass(WindowProc);
    m_ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = ::CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (m_thread) {
        HANDLE waits[] = {m_ready, m_thread};
        ::WaitForMultipleObjects(2, waits, FALSE, kThreadTimeoutMs);
    }
    if (!m_window)
        ADD_FAILURE() << "the message recorder window could not be created";
}

MessageRecorder::~MessageRecorder()
{
    if (m_window)
        ::PostMessageW(m_window, WM_CLOSE, 0, 0);
    if (m_thread) {
        if (::WaitForSingleObject(m_thread, kThreadTimeoutMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the message recorder thread did not end";
            ::TerminateThread(m_thread, 1);
        }
        ::CloseHandle(m_thread);
    }
    if (m_ready)
        ::CloseHandle(m_ready);
}

DWORD WINAPI MessageRecorder::ThreadMain(void* param)
{
    auto* self = static_cast<MessageRecorder*>(param);
    // A popup, not a captioned window: Wine's X11 driver waits up to two
    // seconds for a window manager to withdraw a managed window, and Xvfb has none.
    const DWORD style = WS_POPUP;
    HWND window = ::CreateWindowExW(WS_EX_NOACTIVATE, kClassName, L"message recorder", style, 0, 0,
                                    200, 120, nullptr, nullptr, ::GetModuleHandleW(nullptr), self);
    self->m_window = window;
    if (window && self->m_visible) {
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        ::UpdateWindow(window);
    }
    ::SetEvent(self->m_ready);
    if (!window)
        return 1;

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

LRESULT CALLBACK MessageRecorder::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (msg == kRunWorkMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    auto* self = reinterpret_cast<MessageRecorder*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    return self->Record(wnd, msg, wParam, lParam);
}

bool MessageRecorder::IsTextMessage(UINT message) const
{
    return std::find(m_textMessages.begin(), m_textMessages.end(), message) != m_textMessages.end();
}

LRESULT MessageRecorder::Record(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RecordedMessage entry;
    entry.message = msg;
    entry.wParam = wParam;
    entry.lParam = lParam;
    Hook hook;
    bool answered = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (IsTextMessage(msg)) {
            entry.hasText = true;
            if (const auto* text = reinterpret_cast<const std::wstring*>(wParam))
                entry.text = *text;
        }
        if (msg == WM_SETUP_ERROR && lParam) {
            entry.hasLParamText = true;
            entry.lParamText = *reinterpret_cast<const std::wstring*>(lParam);
        }
        if (msg == WM_SETUP_ERROR) {
            if (m_nextAnswer < m_answers.size()) {
                entry.answer = m_answers[m_nextAnswer++];
            } else {
                entry.answer = 0;
                ++m_unscripted;
            }
            answered = true;
        }
        m_messages.push_back(entry);
        hook = m_hook;
    }
    m_received.notify_all();
    // Outside the lock: a hook may ask the recorder for what it has seen.
    if (hook)
        hook(entry);

    switch (msg) {
    case WM_CLOSE:
        ::DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    if (answered)
        return entry.answer;
    if (msg >= WM_USER && msg < 0x8000)
        return 0;
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

void MessageRecorder::ScriptErrorAnswers(std::vector<LRESULT> answers)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_answers = std::move(answers);
    m_nextAnswer = 0;
    m_unscripted = 0;
}

int MessageRecorder::UnscriptedErrors() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_unscripted;
}

void MessageRecorder::SetHook(Hook hook)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_hook = std::move(hook);
}

void MessageRecorder::SetTextMessages(std::vector<UINT> messages)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_textMessages = std::move(messages);
}

void MessageRecorder::SetFilter(Filter filter)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_filter = std::move(filter);
}

std::vector<RecordedMessage> MessageRecorder::Messages() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<RecordedMessage> out;
    for (const auto& entry : m_messages)
        if (!m_filter || m_filter(entry.message))
            out.push_back(entry);
    return out;
}

std::vector<RecordedMessage> MessageRecorder::AllMessages() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messages;
}

int MessageRecorder::Count(UINT message) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(std::count_if(m_messages.begin(), m_messages.end(),
                                          [message](const RecordedMessage& m) { return m.message == message; }));
}

void MessageRecorder::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_messages.clear();
}

void MessageRecorder::RunOnWindowThread(const std::function<void()>& work) const
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(m_window, kRunWorkMessage, 0, reinterpret_cast<LPARAM>(&work), SMTO_NORMAL,
                               kThreadTimeoutMs, &result))
        ADD_FAILURE() << "the message recorder's thread did not run the work";
}

void MessageRecorder::Note(std::wstring text, LPARAM value)
{
    RecordedMessage entry;
    entry.message = kNote;
    entry.lParam = value;
    entry.hasText = true;
    entry.text = std::move(text);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_messages.push_back(std::move(entry));
    }
    m_received.notify_all();
}

bool MessageRecorder::WaitFor(UINT message, int count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_received.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(m_messages.begin(), m_messages.end(),
                             [message](const RecordedMessage& m) { return m.message == message; }) >= count;
    });
}

}  // namespace qxt::test
