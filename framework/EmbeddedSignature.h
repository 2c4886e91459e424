// The Authenticode signature embedded in a Windows executable, read through
// crypt32: what its signer carries outside the signed part.
#pragma once

#include <string>

enum class SignerAttribute {
    NotSigned,  // no embedded signature (or the file cannot be read)
    Missing,    // signed, but the first signer has no such attribute
    Found,
};

// The first value, encoded as it stands in the signature, of the attribute
// oid among the unauthenticated attributes of the first signer of the
// signature embedded in the executable at path. The signature itself is not
// checked.
SignerAttribute ReadUnauthenticatedAttribute(const wchar_t* path, const char* oid, std::string& value);
