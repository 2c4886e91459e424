#include "framework/EcdsaP256.h"

#include "framework/CngHandles.h"
#include "framework/Sha256.h"

#include <cstring>

SignatureCheck VerifyEcdsaP256(const EcdsaP256PublicKey& key, const void* message, size_t size,
                               const EcdsaP256Signature& signature)
{
    Sha256Digest digest{};
    if (!Sha256OfBytes(message, size, digest))
        return SignatureCheck::Unavailable;

    qxt::UniqueBCryptAlgorithm algorithm;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return SignatureCheck::Unavailable;

    // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    BYTE blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64] = {};
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = 32;
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, key.data(), key.size());
    qxt::UniqueBCryptKey imported;
    if (!BCRYPT_SUCCESS(::BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, imported.Put(), blob,
                                              sizeof blob, 0)))
        return SignatureCheck::KeyRefused;

    const NTSTATUS status =
        ::BCryptVerifySignature(imported.Get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                const_cast<BYTE*>(signature.data()), static_cast<ULONG>(signature.size()), 0);
    if (BCRYPT_SUCCESS(status))
        return SignatureCheck::Valid;
    // STATUS_INVALID_SIGNATURE (0xC000A000): a signature that does not match.
    // Anything else means the platform could not do the check.
    return status == static_cast<NTSTATUS>(0xC000A000L) ? SignatureCheck::Invalid : SignatureCheck::Unavailable;
}
