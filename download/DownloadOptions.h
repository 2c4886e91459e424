// How one download copes with a network that misbehaves: the timeouts that
// turn a stalled server into a failed attempt, and the pauses before the
// attempts that follow a network failure.
#pragma once

#include <windows.h>

#include <array>

struct DownloadTimings {
    static constexpr DWORD kRetries = 3;

    DWORD connectTimeoutMs = 30000;
    // The longest the server may stay silent, headers and body alike.
    DWORD receiveTimeoutMs = 30000;
    // Before the first, second and third retry.
    std::array<DWORD, kRetries> retryPausesMs = {1000, 2000, 4000};
};

struct DownloadOptions {
    // The listed MD5 of the file (hexadecimal text, either case). A body with
    // another digest never takes the destination's place. Only a download
    // with a digest picks up a temporary file left by an earlier attempt: the
    // digest is what shows that the pieces make the listed file.
    const wchar_t* expectedDigest = nullptr;
    // The file's name in the status line of a retry; without one the
    // destination's file name.
    const wchar_t* name = nullptr;
    DownloadTimings timings;
};
