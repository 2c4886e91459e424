// ECDSA on the curve P-256 with SHA-256, verified by the platform's CNG.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

// The public point as X || Y, 32 big-endian bytes each.
using EcdsaP256PublicKey = std::array<BYTE, 64>;
// The signature in IEEE P1363 form, r || s, 32 big-endian bytes each.
using EcdsaP256Signature = std::array<BYTE, 64>;

enum class SignatureCheck {
    Valid,
    Invalid,       // the signature is not the key's over these bytes
    KeyRefused,    // the platform does not take the key (not a point of the curve, ...)
    Unavailable,   // the platform could not verify at all
};

// Whether signature is the key's signature over the SHA-256 of message.
SignatureCheck VerifyEcdsaP256(const EcdsaP256PublicKey& key, const void* message, size_t size,
                               const EcdsaP256Signature& signature);
