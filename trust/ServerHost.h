// The download server's host, stamped into the setup executable: inside the
// unauthenticated blob of its code signature, or, in an unsigned executable,
// in a "$host" trailer at its end.
#pragma once

#include <string>

// The host used when the executable carries no stamped host.
extern const wchar_t kDefaultServerHost[];

// Where the host in force came from.
enum class ServerHostSource { BuiltIn, Trailer, Signature };

// Replaces host with the one stamped into the running executable. A
// code-signed executable carries it in its signature only: the last bytes of
// such a file are the signature's, and a trailer after them would break it.
// An unsigned one carries it in its trailer. BuiltIn (host unchanged) when
// there is none.
ServerHostSource ReadServerHost(std::wstring& host);

// The same for the executable at path.
ServerHostSource ReadServerHostOf(const wchar_t* path, std::wstring& host);

// Only the trailer of the file at path.
bool ReadHostTrailer(const wchar_t* path, std::wstring& host);
