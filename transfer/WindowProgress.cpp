#include "transfer/WindowProgress.h"

void WindowProgress::Begin(ULONGLONG position, ULONGLONG upper)
{
    m_upper = upper;
    m_begun = true;
    m_sender.Offer(position, upper, true);
}

void WindowProgress::Advance(ULONGLONG position)
{
    if (m_begun)
        m_sender.Offer(position, m_upper);
}

void WindowProgress::End()
{
    if (m_begun)
        m_sender.Flush();
}
