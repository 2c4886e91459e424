// Makes a cancel answer while a request waits on a silent server.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <wininet.h>

// Watches the user's cancel flag on a thread of its own while the request is
// sent and its body read. Once the flag is set it closes the request handle,
// which ends a blocked send or read at once (WinInet's way of cancelling a
// synchronous call); without it a cancel would wait for the next chunk,
// which a stalled server may never send. The owner of the request must not
// close the handle again when Closed() says the watch did.
class RequestCancelWatch {
public:
    static constexpr DWORD kPollMs = 50;

    RequestCancelWatch(const volatile LONG* cancel, HINTERNET request) noexcept;
    RequestCancelWatch(const RequestCancelWatch&) = delete;
    RequestCancelWatch& operator=(const RequestCancelWatch&) = delete;
    ~RequestCancelWatch();

    // Ends the watch; once it returns the handle is no longer touched.
    void Stop() noexcept;
    // Whether the watch closed the request (valid after Stop()).
    bool Closed() const noexcept { return m_closed != 0; }

private:
    static DWORD WINAPI Watch(void* parameter);

    const volatile LONG* m_cancel;
    HINTERNET m_request;
    qxt::UniqueKernelHandle m_stop;
    qxt::UniqueKernelHandle m_thread;
    volatile LONG m_closed = 0;
};
