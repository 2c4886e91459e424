// One file of the list as the run takes it up: from Client.txt with its MD5,
// or from the signed list with its size and SHA-256.
#pragma once

#include "trust/SignedFileList.h"

#include <string>

struct ListedFile {
    std::wstring name;
    std::wstring md5;
    const SignedFileEntry* signedEntry = nullptr;
};
