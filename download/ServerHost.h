// The download server's host, carried by a "$host" trailer at the end of the
// setup executable.
#pragma once

#include <string>

// The host used when the executable carries no trailer.
extern const wchar_t kDefaultServerHost[];

// Replaces host with the trailer of the running executable; false (host
// unchanged) when there is none.
bool ReadServerHost(std::wstring& host);

// The same for any file: reads the trailer of the file at path.
bool ReadHostTrailer(const wchar_t* path, std::wstring& host);
