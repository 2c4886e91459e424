#include "trust/SignedListCheck.h"

#include "framework/FormatText.h"

namespace {

TrustRefusal Damaged(const ListDamage& damage)
{
    wchar_t where[32] = L"the document";
    if (damage.line != 0)
        FormatText(where, 32, L"line %u", damage.line);
    return Refuse(SETUP_ERR_DAMAGED_LIST, L"format", std::wstring(where) + L": " + damage.expected,
                  damage.received);
}

std::wstring Number(ULONGLONG value)
{
    wchar_t text[24] = {};
    FormatText(text, 24, L"%I64u", value);
    return text;
}

}  // namespace

TrustRefusal CheckSignedFileList(std::string_view document, const SignedListPolicy& policy, SignedFileList& list)
{
    list = SignedFileList{};
    SignedDocument split;
    ListDamage damage;
    if (!SplitSignedDocument(document, split, damage))
        return Damaged(damage);

    if (policy.key) {
        switch (VerifyEcdsaP256(*policy.key, split.body.data(), split.body.size(), split.signature)) {
        case SignatureCheck::Valid:
            break;
        case SignatureCheck::Invalid:
            return Refuse(SETUP_ERR_BAD_SIGNATURE, L"signature",
                          L"a signature by the publisher's key " + HexText(policy.key->data(), policy.key->size()),
                          HexText(split.signature.data(), split.signature.size()) + L", which is not its signature");
        case SignatureCheck::KeyRefused:
            return Refuse(SETUP_ERR_BAD_SIGNATURE, L"signature", L"a publisher's key on the curve P-256",
                          HexText(policy.key->data(), policy.key->size()) + L", which the platform does not take");
        case SignatureCheck::Unavailable:
            return Refuse(SETUP_ERR_BAD_SIGNATURE, L"signature", L"a check of the signature by the platform (bcrypt)",
                          L"no ECDSA P-256 verification available");
        }
    }

    SignedFileList parsed;
    if (!ParseSignedFileListBody(split.body, parsed, damage))
        return Damaged(damage);
    if (policy.now >= parsed.expires)
        return Refuse(SETUP_ERR_EXPIRED_LIST, L"expiry", L"a list that expires after " + UtcTimeText(policy.now),
                      L"expires " + UtcTimeText(parsed.expires));
    if (policy.key && parsed.version < policy.acceptedVersion)
        return Refuse(SETUP_ERR_OLDER_LIST, L"version",
                      L"version " + Number(policy.acceptedVersion) + L" or higher (accepted before)",
                      L"version " + Number(parsed.version));
    list = std::move(parsed);
    return {};
}

TrustRefusal CheckListedFile(const SignedFileEntry& entry, ULONGLONG size, const Sha256Digest& sha256)
{
    if (size != entry.size)
        return Refuse(SETUP_ERR_FILE_MISMATCH, L"file size", Number(entry.size) + L" bytes of " + entry.name,
                      Number(size) + L" bytes");
    if (sha256 != entry.sha256)
        return Refuse(SETUP_ERR_FILE_MISMATCH, L"file SHA-256", HexText(entry.sha256) + L" for " + entry.name,
                      HexText(sha256));
    return {};
}

ULONGLONG UtcSecondsNow()
{
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000000ULL - 11644473600ULL;
}
