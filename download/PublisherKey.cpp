#include "download/PublisherKey.h"

#include <cstring>

PublisherKeyState ReadPublisherKey(HMODULE module, EcdsaP256PublicKey& key)
{
    key.fill(0);
    HRSRC found = ::FindResourceW(module, L"PUBLISHERKEY", MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found)
        return PublisherKeyState::None;
    // A slot that is there but not as the build makes it was changed by
    // someone: it is neither a key nor the absence of one.
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* slot = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    constexpr size_t kMarkerSize = sizeof kPublisherKeyMarker - 1;
    if (!slot || ::SizeofResource(module, found) != kPublisherKeySlotSize ||
        std::memcmp(slot, kPublisherKeyMarker, kMarkerSize) != 0)
        return PublisherKeyState::Damaged;
    std::memcpy(key.data(), slot + kPublisherKeySlotSize - key.size(), key.size());
    for (const BYTE b : key) {
        if (b != 0)
            return PublisherKeyState::Present;
    }
    return PublisherKeyState::None;
}
