#include <windows.h>

int wmain()
{
    ::Sleep(10 * 60 * 1000);
    return 0;
}
