// Owning RAII types for CNG (bcrypt) handles, on the pattern of Handles.h.
// Kept apart so that only the code that hashes or verifies pulls in bcrypt.h.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <bcrypt.h>

namespace qxt {

struct BCryptAlgorithmTraits {
    using type = BCRYPT_ALG_HANDLE;
    static BCRYPT_ALG_HANDLE empty() { return nullptr; }
    static void close(BCRYPT_ALG_HANDLE h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct BCryptKeyTraits {
    using type = BCRYPT_KEY_HANDLE;
    static BCRYPT_KEY_HANDLE empty() { return nullptr; }
    static void close(BCRYPT_KEY_HANDLE h) { ::BCryptDestroyKey(h); }
};
struct BCryptHashTraits {
    using type = BCRYPT_HASH_HANDLE;
    static BCRYPT_HASH_HANDLE empty() { return nullptr; }
    static void close(BCRYPT_HASH_HANDLE h) { ::BCryptDestroyHash(h); }
};

using UniqueBCryptAlgorithm = UniqueHandle<BCryptAlgorithmTraits>;
using UniqueBCryptKey = UniqueHandle<BCryptKeyTraits>;
using UniqueBCryptHash = UniqueHandle<BCryptHashTraits>;

}  // namespace qxt
