// The private window messages between the installation worker, the download
// code and the setup dialog, and the codes they carry.
// Every sender and the dialog include this one definition.
#pragma once

#include <windows.h>

// Installation worker and download -> dialog. All are sent with SendMessageW,
// so the sender waits for the handler and sees its result.
constexpr UINT WM_SETUP_BEGIN = WM_USER + 200;          // 0, 0
constexpr UINT WM_SETUP_COMPLETE = WM_USER + 201;       // 0, 0
// WM_SETUP_ERROR's detail is a const std::wstring* (valid during the call) or
// 0: one more line in Chinese that the box shows under the line its code
// stands for, and that a silent run writes in the log's last line.
constexpr UINT WM_SETUP_ERROR = WM_USER + 202;          // SetupResult, detail -> IDRETRY / IDIGNORE / other
constexpr UINT WM_SETUP_STEP = WM_USER + 203;           // SetupStep, ordinal 1..5
constexpr UINT WM_DOWNLOAD_BEGIN = WM_USER + 204;       // 0, 0
constexpr UINT WM_DOWNLOAD_FILE_INDEX = WM_USER + 205;  // files finished (kept or fetched), number of entries
// WM_DOWNLOAD_PROGRESS: the bar's position and the upper end of its range:
// while a file list arrives its bytes, then the whole download's (the bytes
// of every listed file when the list gives sizes, otherwise finished files).
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 206;    // position, upper end of the range
constexpr UINT WM_SETUP_STATUS_TEXT = WM_USER + 207;    // const std::wstring* (valid during the call), 0
constexpr UINT WM_DOWNLOAD_COMPLETE = WM_USER + 208;    // 0, 0
constexpr UINT WM_DOWNLOAD_FAILED = WM_USER + 209;      // const std::wstring* (valid during the call), 0
// A proxy asks for a login the run does not have (or refused the one it
// gave): lParam is a ProxyLoginRequest* (core/ProxyLoginRequest.h, valid
// during the call), which the dialog fills before it answers IDOK; any other
// answer (a silent run's) ends the download.
constexpr UINT WM_SETUP_PROXY_LOGIN = WM_USER + 210;    // 0, ProxyLoginRequest* -> IDOK / other

// Outcome of an installation run: WM_SETUP_ERROR's wParam and the worker's exit code.
enum SetupResult : UINT {
    SETUP_OK = 0,
    SETUP_ERR_PROXY_LOGIN = 233,      // a proxy asks for a login that is still missing or was refused
    // The trust checks of the signed file list (a keyed setup, or any setup
    // whose server has a signed list).
    SETUP_ERR_NO_SIGNED_LIST = 234,   // a keyed setup whose server has no signed list
    SETUP_ERR_FILE_MISMATCH = 235,    // a file whose size or SHA-256 is not the listed one
    SETUP_ERR_OLDER_LIST = 236,       // a list older than one this machine accepted before
    SETUP_ERR_EXPIRED_LIST = 237,     // the list's expiry has passed
    SETUP_ERR_DAMAGED_LIST = 238,     // not a signed file list of a known format
    SETUP_ERR_BAD_SIGNATURE = 239,    // not signed by the publisher's key
    SETUP_ERR_UNINSTALL_ENTRY = 243,
    SETUP_ERR_CODECS = 244,
    SETUP_ERR_AAC_DECODER = 245,
    SETUP_ERR_AAC_ENCODER = 246,
    SETUP_ERR_MP4_DECODER = 247,
    SETUP_ERR_MP4_ENCODER = 248,
    SETUP_ERR_AVC_DECODER = 249,
    SETUP_ERR_MP3_ENCODER = 250,
    SETUP_ERR_X264 = 251,
    SETUP_ERR_FLASH = 252,
    SETUP_ERR_DOTNET = 253,
    SETUP_ERR_DOWNLOAD = 254,
    SETUP_CANCELLED = 255,
};

// Installation step shown on the progress page: WM_SETUP_STEP's wParam.
enum SetupStep : UINT {
    STEP_DOTNET = 1,
    STEP_FLASH = 2,
    STEP_X264 = 3,
    STEP_MP3_ENCODER = 4,
    STEP_AVC_DECODER = 5,
    STEP_MP4_ENCODER = 6,
    STEP_MP4_DECODER = 7,
    STEP_AAC_ENCODER = 8,
    STEP_AAC_DECODER = 9,
    STEP_CODECS = 16,
};
