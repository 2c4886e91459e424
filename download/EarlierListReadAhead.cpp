#include "download/EarlierListReadAhead.h"

#include "trust/SignedFileList.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/WorkerThreads.h"

namespace {

// An earlier list is a few hundred bytes a file; one past this is none.
constexpr ULONGLONG kListMaxBytes = 8 * 1024 * 1024;
// The stack each reading thread reserves (its buffer is on the heap).
constexpr SIZE_T kStackBytes = 256 * 1024;


std::vector<std::wstring> NamesOfList(const std::wstring& path)
{
    CFile file;
    ULONGLONG length = 0;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary) ||
        !file.GetLength(length) || length == 0 || length > kListMaxBytes)
        return {};
    std::string document(static_cast<size_t>(length), '\0');
    UINT got = 0;
    if (!file.Read(document.data(), static_cast<UINT>(length), got) || got != length)
        return {};
    SignedDocument split;
    ListDamage damage;
    SignedFileList list;
    if (!SplitSignedDocument(document, split, damage) || !ParseSignedFileListBody(split.body, list, damage))
        return {};
    std::vector<std::wstring> names;
    for (const SignedFileEntry& entry : list.files)
        names.push_back(entry.name);
    return names;
}

}  // namespace

std::wstring FileNameKey(const std::wstring& name)
{
    std::wstring key = name;
    for (wchar_t& c : key)
        if (c == L'/')
            c = L'\\';
    if (!key.empty())
        ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

EarlierListReadAhead::EarlierListReadAhead(const std::wstring& folder, unsigned threads)
    : m_folder(folder), m_threads(threads != 0 ? threads : 1), m_names(NamesOfList(folder + L"Client.signed"))
{
    m_reads.resize(m_names.size());
    for (size_t i = 0; i < m_names.size(); ++i)
        m_index.emplace(FileNameKey(m_names[i]), i);
    if (!m_names.empty())
        m_thread.Reset(::CreateThread(nullptr, kStackBytes, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

EarlierListReadAhead::~EarlierListReadAhead()
{
    Finish();
}

void EarlierListReadAhead::Wait()
{
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
}

void EarlierListReadAhead::Finish()
{
    ::InterlockedExchange(&m_stop, 1);
    if (m_thread) {
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Reset();
    }
}

DWORD WINAPI EarlierListReadAhead::Run(void* self)
{
    static_cast<EarlierListReadAhead*>(self)->ReadAll();
    return 0;
}

void EarlierListReadAhead::ReadAll()
{
    RunOnThreads(m_threads, [this] {
        for (;;) {
            if (m_stop != 0)
                return;
            const size_t i = static_cast<size_t>(::InterlockedIncrement(&m_next) - 1);
            if (i >= m_names.size())
                return;
            const std::wstring path = m_folder + m_names[i];
            Read read;
            ULONGLONG length = 0;
            FILETIME after{};
            // A file that changes while it is read has no digest to keep.
            read.done = FileLengthAndWrite(path.c_str(), read.length, read.written) &&
                        Sha256OfFile(path.c_str(), read.digest, length, &m_stop) && length == read.length &&
                        FileLengthAndWrite(path.c_str(), length, after) && length == read.length &&
                        ::CompareFileTime(&after, &read.written) == 0;
            m_reads[i] = read;
        }
    }, kStackBytes);
}

bool EarlierListReadAhead::Digest(const std::wstring& name, Sha256Digest& digest, ULONGLONG& length) const
{
    const auto found = m_index.find(FileNameKey(name));
    if (found == m_index.end() || !m_reads[found->second].done)
        return false;
    const Read& read = m_reads[found->second];
    ULONGLONG now = 0;
    FILETIME written{};
    if (!FileLengthAndWrite((m_folder + name).c_str(), now, written) || now != read.length ||
        ::CompareFileTime(&written, &read.written) != 0)
        return false;
    digest = read.digest;
    length = read.length;
    return true;
}
