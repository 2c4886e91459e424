// How one download copes with a network that misbehaves: the timeouts that
// turn a stalled server into a failed attempt, the rate below which a
// transfer is given up, and the pauses before the attempts that follow a
// network failure.
#pragma once

#include "framework/Sha256.h"

#include <windows.h>

#include <array>
#include <string>

class ServerList;
class ProgressSink;

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
    // How many of a list's files are fetched at once, each over a connection
    // of its own (the connections are kept alive between files).
    unsigned transfers = 8;
};

// What one download learned that its caller decides on: the server's last
// answer, and a body that is not the listed file.
struct DownloadReport {
    DWORD status = 0;         // the last answer's HTTP status; 0 without an answer
    bool mismatch = false;    // the body's size or SHA-256 is not the listed one
    std::wstring expected;    // for a mismatch: what the list says
    std::wstring received;    // and what arrived
    bool cancelled = false;   // the call ended on *cancel, not on a failure
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
    // The listed SHA-256: checked like the MD5 (one of the two is given).
    const Sha256Digest* expectedSha256 = nullptr;
    // With a listed size the answer must declare exactly that length, and no
    // more than that is ever written: a server that sends more is cut off.
    // Without one, maxLength (when not 0) caps a declared length.
    const ULONGLONG* listedSize = nullptr;
    ULONGLONG maxLength = 0;
    // A 404 is an answer the caller expects (the signed list of an older
    // server): the log tells it as a plain line, not as an error.
    bool notFoundExpected = false;
    DownloadReport* report = nullptr;  // filled when given
    // The run's servers, the url's server their current one: a server that
    // fails after its retries, or answers 5xx, hands the transfer to the next.
    ServerList* servers = nullptr;
    // Where the transfer's bytes go instead of to window's bar: a share of
    // the whole download's bar, or nowhere.
    ProgressSink* progress = nullptr;
    // The run's own stop flag, read like the cancel flag: the transfers that
    // run at once stop when one of them fails.
    const volatile LONG* stop = nullptr;
};
