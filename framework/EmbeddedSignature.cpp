#include "framework/EmbeddedSignature.h"

#include "framework/Handles.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

SignerAttribute ReadUnauthenticatedAttribute(const wchar_t* path, const char* oid, std::string& value)
{
    qxt::UniqueCertStore store;
    qxt::UniqueCryptMsg message;
    DWORD encoding = 0, contentType = 0, formatType = 0;
    if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, store.Put(),
                            message.Put(), nullptr))
        return SignerAttribute::NotSigned;

    // A signer without unauthenticated attributes fails here (CRYPT_E_ATTRIBUTES_MISSING).
    DWORD size = 0;
    if (!::CryptMsgGetParam(message.Get(), CMSG_SIGNER_UNAUTH_ATTR_PARAM, 0, nullptr, &size) || size == 0)
        return SignerAttribute::Missing;
    std::vector<BYTE> buffer(size);
    if (!::CryptMsgGetParam(message.Get(), CMSG_SIGNER_UNAUTH_ATTR_PARAM, 0, buffer.data(), &size))
        return SignerAttribute::Missing;

    const auto* attributes = reinterpret_cast<const CRYPT_ATTRIBUTES*>(buffer.data());
    for (DWORD i = 0; i < attributes->cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = attributes->rgAttr[i];
        if (attribute.pszObjId && std::strcmp(attribute.pszObjId, oid) == 0 && attribute.cValue > 0) {
            const CRYPT_ATTR_BLOB& blob = attribute.rgValue[0];
            value.assign(reinterpret_cast<const char*>(blob.pbData), blob.cbData);
            return SignerAttribute::Found;
        }
    }
    return SignerAttribute::Missing;
}
