// How one download copes with a network that misbehaves: the timeouts that
// turn a stalled server into a failed attempt, the rate below which a
// transfer is given up, and the pauses before the attempts that follow a
// network failure.
#pragma once

#include <windows.h>

#include <array>

struct DownloadTimings {
    static constexpr DWORD kRetries = 3;

    DWORD connectTimeoutMs = 30000;
    // The longest the server may stay silent, headers and body alike.
    DWORD receiveTimeoutMs = 30000;
    // A transfer that brings less than slowestBytesPerSecond over a whole
    // window fails like a cut body (0: never). A server that sends a byte
    // now and then is never silent for a whole receive timeout.
    DWORD slowWindowMs = 60000;
    DWORD slowestBytesPerSecond = 1024;
    // Before the first, second and third retry, unless the answer names its
    // own pause (Retry-After).
    std::array<DWORD, kRetries> retryPausesMs = {1000, 2000, 4000};
    // The longest pause an answer may ask for; one that asks for longer is
    // not tried again.
    static constexpr DWORD kLongestServerPauseMs = 30000;
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
