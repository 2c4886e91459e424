#include "download/RequestCancelWatch.h"

#include "download/CancelRequest.h"

RequestCancelWatch::RequestCancelWatch(const volatile LONG* cancel, HINTERNET request) noexcept
    : m_cancel(cancel), m_request(request), m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    // Without a flag or an event there is nothing to watch; a thread that
    // cannot start leaves the cancel to the checks between chunks.
    if (m_cancel && m_stop)
        m_thread.Reset(::CreateThread(nullptr, 0, Watch, this, 0, nullptr));
}

RequestCancelWatch::~RequestCancelWatch()
{
    Stop();
}

void RequestCancelWatch::Stop() noexcept
{
    if (!m_thread)
        return;
    ::SetEvent(m_stop.Get());
    ::WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Reset();
}

DWORD WINAPI RequestCancelWatch::Watch(void* parameter)
{
    auto* self = static_cast<RequestCancelWatch*>(parameter);
    while (::WaitForSingleObject(self->m_stop.Get(), kPollMs) == WAIT_TIMEOUT) {
        if (CancelRequested(self->m_cancel)) {
            ::InternetCloseHandle(self->m_request);
            ::InterlockedExchange(&self->m_closed, 1);
            break;
        }
    }
    return 0;
}
