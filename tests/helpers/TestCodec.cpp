// testcodec.dll: stands in for a codec DLL that regsvr32.exe registers. Copied
// into an install folder under a codec's name, it appends one UTF-8 line per
// call to "codecs.log" beside itself:
//     FILE NAME|register or unregister|PARAMETERS OF THE HOST PROCESS
// testcodec_failing.dll (QXT_CODEC_FAILS) records the same and then reports
// failure, as a codec whose registration breaks.
#include "HelperText.h"

#include <windows.h>

#include <string>

namespace {

HMODULE g_module = nullptr;

HRESULT Record(const wchar_t* what)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(g_module, self, MAX_PATH);
    std::wstring folder = self;
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    folder.resize(folder.find_last_of(L'\\') + 1);

    const std::string line = Utf8(name + L"|" + what + L"|" + ProcessParameters()) + "\n";
    HANDLE file = ::CreateFileW((folder + L"codecs.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::CloseHandle(file);
    }
#ifdef QXT_CODEC_FAILS
    return E_FAIL;
#else
    return S_OK;
#endif
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    return Record(L"register");
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    return Record(L"unregister");
}
