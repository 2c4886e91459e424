#include "app/CommandLine.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

const wchar_t kCommandLineHelp[] =
    L"QXTSetup [/S] [/NOLAUNCH] [/NOAUTORUN] [/NODESKTOP] [/NOGROUP] [/LOG=文件]\r\n"
    L"         [/PROXY=主机:端口] [/PROXYUSER=用户名] [/PROXYPASS=密码] [/D=安装路径]\r\n"
    L"\r\n"
    L"/S\t静默安装：不显示窗口和消息框\r\n"
    L"/D=路径\t安装路径（含空格时加引号：/D=\"C:\\My Games\"，或作为最后一个参数）\r\n"
    L"/LOG=文件\t日志文件（默认 %TEMP%\\QXTSetup.log）\r\n"
    L"/NOLAUNCH\t安装完成后不启动客户端\r\n"
    L"/NOAUTORUN\t静默安装时不设置开机启动\r\n"
    L"/NODESKTOP\t静默安装时不创建桌面快捷方式\r\n"
    L"/NOGROUP\t静默安装时不创建程序组\r\n"
    L"/PROXY=主机:端口\t使用此代理服务器，而不是系统的代理设置\r\n"
    L"/PROXYUSER=用户名\t代理服务器的用户名\r\n"
    L"/PROXYPASS=密码\t代理服务器的密码（不写入日志）\r\n"
    L"/?\t显示本帮助";

namespace {

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size() || std::towupper(text[i]) != std::towupper(prefix[i]))
            return false;
    }
    return true;
}

bool EqualsNoCase(const std::wstring& text, const wchar_t* word)
{
    return StartsWithNoCase(text, word) && text.size() == std::wcslen(word);
}

// The rest of the line taken by an unquoted /D=: trailing blanks dropped and
// quotes removed.
std::wstring RestOfLine(const std::wstring& arguments, size_t from)
{
    std::wstring rest;
    for (size_t i = from; i < arguments.size(); ++i) {
        if (arguments[i] != L'"')
            rest += arguments[i];
    }
    while (!rest.empty() && IsSpace(rest.back()))
        rest.pop_back();
    return rest;
}

}  // namespace

CommandLineOptions ParseCommandLine(const std::wstring& arguments)
{
    CommandLineOptions options;
    size_t at = 0;
    for (;;) {
        while (at < arguments.size() && IsSpace(arguments[at]))
            ++at;
        if (at >= arguments.size())
            break;

        // An unquoted /D= ends the switches: everything after it is the folder.
        // A quoted one (/D="C:\My Games") is one argument like any other, so
        // switches may follow it.
        if (StartsWithNoCase(arguments.substr(at, 3), L"/D=") &&
            (at + 3 >= arguments.size() || arguments[at + 3] != L'"')) {
            options.hasFolder = true;
            options.folder = RestOfLine(arguments, at + 3);
            break;
        }

        std::wstring argument;
        bool quoted = false;
        for (; at < arguments.size() && (quoted || !IsSpace(arguments[at])); ++at) {
            if (arguments[at] == L'"')
                quoted = !quoted;
            else
                argument += arguments[at];
        }

        if (EqualsNoCase(argument, L"/S"))
            options.silent = true;
        else if (EqualsNoCase(argument, L"/?"))
            options.help = true;
        else if (EqualsNoCase(argument, L"/NOLAUNCH"))
            options.noLaunch = true;
        else if (EqualsNoCase(argument, L"/NOAUTORUN"))
            options.noAutorun = true;
        else if (EqualsNoCase(argument, L"/NODESKTOP"))
            options.noDesktop = true;
        else if (EqualsNoCase(argument, L"/NOGROUP"))
            options.noGroup = true;
        else if (StartsWithNoCase(argument, L"/D=")) {
            options.hasFolder = true;
            options.folder = argument.substr(3);
        } else if (StartsWithNoCase(argument, L"/LOG=")) {
            options.hasLogPath = true;
            options.logPath = argument.substr(5);
        } else if (StartsWithNoCase(argument, L"/PROXYUSER=")) {
            options.hasProxyUser = true;
            options.proxyUser = argument.substr(11);
        } else if (StartsWithNoCase(argument, L"/PROXYPASS=")) {
            options.hasProxyPassword = true;
            options.proxyPassword = argument.substr(11);
        } else if (StartsWithNoCase(argument, L"/PROXY=")) {
            options.hasProxy = true;
            options.proxy = argument.substr(7);
        } else
            options.unknown.push_back(argument);
    }
    return options;
}

std::wstring ProcessArguments()
{
    // The program's name as the system's own parser reads it: quoted, or up
    // to the first blank.
    const wchar_t* line = ::GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"')
            ++line;
        if (*line)
            ++line;
    } else {
        while (*line && !IsSpace(*line))
            ++line;
    }
    while (IsSpace(*line))
        ++line;
    return line;
}

std::wstring ArgumentsForTheLog(const std::wstring& arguments)
{
    std::wstring shown = arguments;
    for (size_t at = 0; at < shown.size(); ++at) {
        if (!StartsWithNoCase(shown.substr(at, 11), L"/PROXYPASS="))
            continue;
        // The value runs to the first blank outside quotes, as the parser reads it.
        const size_t value = at + 11;
        const bool quotedArgument = at > 0 && shown[at - 1] == L'"';
        bool quoted = quotedArgument;
        size_t end = value;
        for (; end < shown.size() && (quoted || !IsSpace(shown[end])); ++end) {
            if (shown[end] == L'"')
                quoted = !quoted;
        }
        // The quote that closes a quoted argument stays, so the line still
        // reads as it was written.
        if (quotedArgument && end > value && shown[end - 1] == L'"')
            --end;
        shown.replace(value, end - value, L"(hidden)");
        at = value;
    }
    return shown;
}
