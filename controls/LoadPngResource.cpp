#include "controls/LoadPngResource.h"

#include <cstring>

#include "framework/Handles.h"
#include "framework/ResourceHandle.h"

void PremultiplyAlpha(CImage& image)
{
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            auto* p = static_cast<BYTE*>(image.GetPixelAddress(x, y));
            const unsigned a = p[3];
            p[0] = static_cast<BYTE>(p[0] * a / 255);
            p[1] = static_cast<BYTE>(p[1] * a / 255);
            p[2] = static_cast<BYTE>(p[2] * a / 255);
        }
    }
}

BOOL LoadPngResource(CImage& image, LPCWSTR name)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceW(module, name, L"PNG");
    if (!resource)
        return FALSE;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return FALSE;

    // A fixed global memory block for the stream to read from.
    qxt::UniqueGlobalMemory block(::GlobalAlloc(GMEM_FIXED, size));
    if (!block)
        return FALSE;
    void* copy = ::GlobalLock(block.Get());
    if (!copy)
        return FALSE;
    std::memcpy(copy, bytes, size);

    HRESULT result = E_FAIL;
    {
        qxt::ComPtr<IStream> stream;
        if (SUCCEEDED(::CreateStreamOnHGlobal(block.Get(), FALSE, stream.Put())))
            result = image.Load(stream.Get());
    }
    ::GlobalUnlock(block.Get());
    if (FAILED(result))
        return FALSE;

    if (image.GetBPP() == 32)
        PremultiplyAlpha(image);
    return TRUE;
}
