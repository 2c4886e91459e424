#include "trust/SignedFileList.h"

#include "trust/ClientFileEntry.h"

#include <cstring>

namespace {

constexpr size_t kShownBytes = 96;  // of a damaged line in the log

// A line of the document as the log shows it: printable ASCII as it is,
// every other byte as \xNN, cut after kShownBytes.
std::wstring Shown(std::string_view line)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text = L"\"";
    for (size_t i = 0; i < line.size() && i < kShownBytes; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<wchar_t>(c);
        }
        else {
            text += L"\\x";
            text += kDigits[c >> 4];
            text += kDigits[c & 0x0F];
        }
    }
    text += line.size() > kShownBytes ? L"\"..." : L"\"";
    return text;
}

bool Damage(ListDamage& damage, unsigned line, const wchar_t* expected, std::wstring received)
{
    damage.line = line;
    damage.expected = expected;
    damage.received = std::move(received);
    return false;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;  // upper case included: the format writes lower case only
}

bool ParseHex(std::string_view text, BYTE* bytes, size_t size)
{
    if (text.size() != size * 2)
        return false;
    for (size_t i = 0; i < size; ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<BYTE>(high << 4 | low);
    }
    return true;
}

// Decimal without sign or leading zeros ("0" alone is zero), at most max.
bool ParseDecimal(std::string_view text, ULONGLONG max, ULONGLONG& value)
{
    if (text.empty() || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return false;
        const ULONGLONG digit = static_cast<ULONGLONG>(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
LONGLONG DaysFromCivil(int year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<LONGLONG>(era) * 146097 + static_cast<LONGLONG>(dayOfEra) - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month)
{
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The name of a file line as UTF-8, decoded strictly: no invalid sequence,
// no control character.
bool DecodeName(std::string_view utf8, std::wstring& name)
{
    if (utf8.empty() || utf8.size() > 4 * MAX_PATH)
        return false;
    for (const char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0)
        return false;
    name.assign(static_cast<size_t>(length), L'\0');
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                 name.data(), length) == length;
}

}  // namespace

bool ParseUtcTime(std::string_view text, ULONGLONG& seconds)
{
    // YYYY-MM-DDTHH:MM:SSZ
    static constexpr char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != std::strlen(kShape))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] == 'd' ? !IsDigit(text[i]) : text[i] != kShape[i])
            return false;
    }
    const auto number = [&](size_t at, size_t count) {
        unsigned value = 0;
        for (size_t i = at; i < at + count; ++i)
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        return value;
    };
    const unsigned year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return false;
    seconds = static_cast<ULONGLONG>(DaysFromCivil(static_cast<int>(year), month, day)) * 86400 + hour * 3600 +
              minute * 60 + second;
    return true;
}

std::wstring UtcTimeText(ULONGLONG seconds)
{
    // FILETIME counts 100 ns from 1601; 1970 is 11644473600 s later.
    const ULONGLONG ticks = (seconds + 11644473600ULL) * 10000000ULL;
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    if (!::FileTimeToSystemTime(&time, &utc))
        return L"(out of range)";
    wchar_t text[32] = {};
    const wchar_t* digits = L"0123456789";
    const unsigned parts[] = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
    // YYYY-MM-DDTHH:MM:SSZ, written by hand: FormatText's runtime is not needed for this.
    static constexpr wchar_t kSeparators[] = L"--T::Z";
    size_t at = 0;
    for (size_t i = 0; i < 6; ++i) {
        const unsigned value = parts[i];
        if (i == 0) {
            text[at++] = digits[value / 1000 % 10];
            text[at++] = digits[value / 100 % 10];
        }
        text[at++] = digits[value / 10 % 10];
        text[at++] = digits[value % 10];
        text[at++] = kSeparators[i];
    }
    return text;
}

bool SplitSignedDocument(std::string_view document, SignedDocument& split, ListDamage& damage)
{
    if (document.empty() || document.back() != '\n')
        return Damage(damage, 0, L"a document whose last line is the signature, ended by LF",
                      document.empty() ? L"an empty document" : L"no LF at the end");
    const size_t lineStart = document.find_last_of('\n', document.size() - 2);
    const size_t start = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    const std::string_view line = document.substr(start, document.size() - 1 - start);
    unsigned number = 1;
    for (size_t i = 0; i < start; ++i)
        number += document[i] == '\n';
    constexpr std::string_view kPrefix = "signature ";
    if (!StartsWith(line, kPrefix) ||
        !ParseHex(line.substr(kPrefix.size()), split.signature.data(), split.signature.size()))
        return Damage(damage, number, L"signature followed by 128 lower-case hexadecimal digits", Shown(line));
    split.body = document.substr(0, start);
    return true;
}

bool ParseSignedFileListBody(std::string_view body, SignedFileList& list, ListDamage& damage)
{
    list = SignedFileList{};
    unsigned number = 0;
    std::string_view previousName;
    size_t at = 0;
    while (at < body.size()) {
        const size_t end = body.find('\n', at);
        if (end == std::string_view::npos)
            return Damage(damage, number + 1, L"a line ended by LF", Shown(body.substr(at)));
        const std::string_view line = body.substr(at, end - at);
        at = end + 1;
        ++number;
        if (line.find('\r') != std::string_view::npos)
            return Damage(damage, number, L"a line ended by LF alone", Shown(line));

        if (number == 1) {
            if (line != kSignedListFormatLine)
                return Damage(damage, number, L"format qxt-signed-file-list 1", Shown(line));
            continue;
        }
        if (number == 2) {
            constexpr std::string_view kPrefix = "version ";
            if (!StartsWith(line, kPrefix) ||
                !ParseDecimal(line.substr(kPrefix.size()), 0x7FFFFFFFFFFFFFFFULL, list.version) || list.version == 0)
                return Damage(damage, number, L"version N (1 to 2^63-1, decimal)", Shown(line));
            continue;
        }
        if (number == 3) {
            constexpr std::string_view kPrefix = "expires ";
            if (!StartsWith(line, kPrefix) || !ParseUtcTime(line.substr(kPrefix.size()), list.expires))
                return Damage(damage, number, L"expires YYYY-MM-DDTHH:MM:SSZ", Shown(line));
            continue;
        }

        // file SIZE SHA256 NAME
        constexpr std::string_view kPrefix = "file ";
        const size_t sizeEnd = line.find(' ', kPrefix.size());
        const size_t digestEnd = sizeEnd == std::string_view::npos ? sizeEnd : line.find(' ', sizeEnd + 1);
        SignedFileEntry entry;
        if (!StartsWith(line, kPrefix) || digestEnd == std::string_view::npos ||
            !ParseDecimal(line.substr(kPrefix.size(), sizeEnd - kPrefix.size()), ~0ULL, entry.size) ||
            !ParseHex(line.substr(sizeEnd + 1, digestEnd - sizeEnd - 1), entry.sha256.data(), entry.sha256.size()))
            return Damage(damage, number, L"file SIZE SHA256 NAME", Shown(line));
        const std::string_view name = line.substr(digestEnd + 1);
        if (!DecodeName(name, entry.name) || !IsInstallableName(entry.name))
            return Damage(damage, number, L"the name of a file in the install folder", Shown(line));
        // Strictly increasing: in byte order, each name once.
        if (!previousName.empty() && !(previousName < name))
            return Damage(damage, number, L"a name after the previous one in byte order", Shown(line));
        previousName = name;
        list.files.push_back(std::move(entry));
    }
    if (number < 3)
        return Damage(damage, number + 1,
                      number == 0   ? L"format qxt-signed-file-list 1"
                      : number == 1 ? L"version N (1 to 2^63-1, decimal)"
                                    : L"expires YYYY-MM-DDTHH:MM:SSZ",
                      L"the signature line");
    return true;
}
