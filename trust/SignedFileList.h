// The signed file list: a byte-exact text document naming every file of the
// client with its size and SHA-256, one signature over all of it.
//
//     format qxt-signed-file-list 1
//     version 1765432100
//     expires 2027-01-10T00:00:00Z
//     file 12 2c26b46b...e7ae data/x.bin
//     signature <128 lower-case hex digits: r || s>
//
// Lines end with LF alone; the signature covers every byte before its line.
#pragma once

#include "framework/EcdsaP256.h"
#include "framework/Sha256.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

inline constexpr char kSignedListFormatLine[] = "format qxt-signed-file-list 1";

struct SignedFileEntry {
    std::wstring name;  // as the list writes it, a file of the install folder
    ULONGLONG size = 0;
    Sha256Digest sha256{};
};

struct SignedFileList {
    ULONGLONG version = 0;
    ULONGLONG expires = 0;  // seconds since 1970-01-01 00:00:00 UTC
    std::vector<SignedFileEntry> files;
};

// The document cut at its last line: the bytes the signature covers and the
// signature they carry.
struct SignedDocument {
    std::string_view body;  // up to and including the LF before the signature line
    EcdsaP256Signature signature{};
};

// Where a document is not a signed file list: the line (from 1; 0 for the
// document as a whole), what belongs there and what is there.
struct ListDamage {
    unsigned line = 0;
    std::wstring expected;
    std::wstring received;
};

// Splits off the signature line; false when the document does not end with
// one (damage says why).
bool SplitSignedDocument(std::string_view document, SignedDocument& split, ListDamage& damage);

// Parses the body of a signed document (the bytes before the signature
// line). Every deviation from the format is damage: unknown or repeated
// lines, fields out of order, bad numbers, upper-case hexadecimal, a CR, a
// name that is not one file of the install folder, names out of byte order.
bool ParseSignedFileListBody(std::string_view body, SignedFileList& list, ListDamage& damage);

// "YYYY-MM-DDTHH:MM:SSZ" to seconds since 1970 and back; the parse accepts
// exactly that form and only real dates and times.
bool ParseUtcTime(std::string_view text, ULONGLONG& seconds);
std::wstring UtcTimeText(ULONGLONG seconds);
