// The publisher's public key, held in the executable's RCDATA resource
// PUBLISHERKEY: a 16-byte marker, 16 reserved zero bytes, then X || Y of the
// P-256 point. A build leaves the key all zero: that executable has no key.
#pragma once

#include "framework/EcdsaP256.h"

#include <windows.h>

inline constexpr size_t kPublisherKeySlotSize = 96;

enum class PublisherKeyState {
    None,     // no slot, or a slot whose key is all zero
    Present,  // key holds it
    Damaged,  // a slot of another size or without the marker
};

// Reads the slot of module (an executable, or one loaded as a data file).
PublisherKeyState ReadPublisherKey(HMODULE module, EcdsaP256PublicKey& key);
