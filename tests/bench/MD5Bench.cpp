// Prints, for every round, the seconds DigestFile takes on the file and the
// digest, as lines "seconds S" and "digest D".
#include "trust/MD5Checksum.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fputs("usage: md5_bench FILE [ROUNDS]\n", stderr);
        return 2;
    }
    const int rounds = argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 1;
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER start{}, end{};
        ::QueryPerformanceCounter(&start);
        const std::wstring digest = CMD5Checksum::DigestFile(argv[1]);
        ::QueryPerformanceCounter(&end);
        if (digest.empty()) {
            std::fputs("cannot open the file\n", stderr);
            return 1;
        }
        std::printf("seconds %.4f\ndigest %ls\n",
                    static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
                    digest.c_str());
    }
    return 0;
}
