#include "trust/PublisherKey.h"

#include <cstring>

namespace {

// The marker "QXT-PUBLISHER-K1" with every byte one higher: tools/set-key
// finds the slot by the marker and refuses a file where it occurs twice, so
// its plain text must not be in the image outside the slot.
constexpr char kMarkerPlusOne[] = "RYU.QVCMJTIFS.L2";
constexpr size_t kMarkerSize = sizeof kMarkerPlusOne - 1;

bool HasMarker(const BYTE* slot)
{
    for (size_t i = 0; i < kMarkerSize; ++i) {
        if (slot[i] + 1 != static_cast<unsigned char>(kMarkerPlusOne[i]))
            return false;
    }
    return true;
}

}  // namespace

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
    if (!slot || ::SizeofResource(module, found) != kPublisherKeySlotSize || !HasMarker(slot))
        return PublisherKeyState::Damaged;
    std::memcpy(key.data(), slot + kPublisherKeySlotSize - key.size(), key.size());
    for (const BYTE b : key) {
        if (b != 0)
            return PublisherKeyState::Present;
    }
    return PublisherKeyState::None;
}
