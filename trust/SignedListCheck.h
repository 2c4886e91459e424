// The checks a signed file list passes before anything it names is kept,
// fetched or started, and the check of each file against its line.
#pragma once

#include "trust/SignedFileList.h"
#include "trust/TrustCheck.h"
#include "framework/EcdsaP256.h"
#include "framework/Sha256.h"

#include <windows.h>

#include <string_view>

struct SignedListPolicy {
    // The publisher's key; without one (an unkeyed setup) the signature is
    // not demanded and the version is not compared.
    const EcdsaP256PublicKey* key = nullptr;
    ULONGLONG now = 0;              // seconds since 1970 UTC
    ULONGLONG acceptedVersion = 0;  // the highest this machine accepted; 0: none yet
};

// Checks, in this order: the document's shape (SETUP_ERR_DAMAGED_LIST), with
// a key its signature over the bytes before the signature line
// (SETUP_ERR_BAD_SIGNATURE) before any of those bytes is parsed, the format
// and fields (SETUP_ERR_DAMAGED_LIST), the expiry against now
// (SETUP_ERR_EXPIRED_LIST) and, with a key, the version against the accepted
// one (SETUP_ERR_OLDER_LIST; the same version again is accepted). list holds
// the parsed document when nothing was refused.
TrustRefusal CheckSignedFileList(std::string_view document, const SignedListPolicy& policy, SignedFileList& list);

// Whether a file's bytes are the ones its line lists (SETUP_ERR_FILE_MISMATCH
// otherwise, naming the size or the SHA-256 that differs).
TrustRefusal CheckListedFile(const SignedFileEntry& entry, ULONGLONG size, const Sha256Digest& sha256);

// The clock as the expiry check reads it.
ULONGLONG UtcSecondsNow();
