// Reads the files an earlier run's signed list named while the new list is
// on its way, so that a run that finds most of them current does not wait
// for their digests after the list has come.
#pragma once

#include "framework/Handles.h"
#include "framework/Sha256.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class EarlierListReadAhead {
public:
    // Starts reading, on up to threads threads of its own, the files that
    // folder's Client.signed names (its names only: nothing of it is trusted,
    // and a list that does not parse names nothing). Call before the new
    // list replaces that file.
    EarlierListReadAhead(const std::wstring& folder, unsigned threads);
    EarlierListReadAhead(const EarlierListReadAhead&) = delete;
    EarlierListReadAhead& operator=(const EarlierListReadAhead&) = delete;
    ~EarlierListReadAhead();

    // Waits until every named file has been read.
    void Wait();
    // Stops reading after the files under way and waits for them.
    void Finish();

    // The digest and length of folder + name when it was read and has not
    // changed since (the same length and last write); false otherwise. Only
    // after Finish().
    bool Digest(const std::wstring& name, Sha256Digest& digest, ULONGLONG& length) const;

    size_t Count() const { return m_names.size(); }

private:
    struct Read {
        bool done = false;
        Sha256Digest digest{};
        ULONGLONG length = 0;
        FILETIME written{};
    };

    static DWORD WINAPI Run(void* self);
    void ReadAll();

    std::wstring m_folder;
    unsigned m_threads;
    std::vector<std::wstring> m_names;
    std::vector<Read> m_reads;
    std::map<std::wstring, size_t> m_index;  // by the name as Windows compares it
    volatile LONG m_next = 0;
    volatile LONG m_stop = 0;
    qxt::UniqueKernelHandle m_thread;
};

// The name as Windows compares file names ("Client.dll" and "client.DLL",
// "a/b" and "a\\b" name one file).
std::wstring FileNameKey(const std::wstring& name);
