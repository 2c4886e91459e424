// What a run may trust: the publisher's key of the executable and what this
// machine accepted before.
#pragma once

#include "framework/EcdsaP256.h"
#include "trust/PublisherKey.h"

#include <windows.h>

struct DownloadTrust {
    PublisherKeyState keyState = PublisherKeyState::None;
    EcdsaP256PublicKey key{};
    ULONGLONG acceptedVersion = 0;  // the highest list version accepted before; 0: none
    ULONGLONG now = 0;              // seconds since 1970 UTC for the expiry; 0: the clock
};
