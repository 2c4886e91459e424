#include "controls/LoadPngResource.h"

#include <cstring>

#include "framework/Handles.h"
#include "framework/ImageScale.h"
#include "framework/ResourceHandle.h"
#include "framework/WindowDpi.h"

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

namespace {

constexpr wchar_t kPngType[] = L"PNG";
constexpr wchar_t kDoublePngType[] = L"PNG2X";
constexpr UINT kDoubleDpi = 2 * qxt::kDesignDpi;

BOOL LoadPngOfType(CImage& image, LPCWSTR name, LPCWSTR type)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceW(module, name, type);
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

// A 2x picture of several frames holds them side by side, so that deflate
// finds each row of a frame one frame's width after the same row of the
// frame before (stacked, the frames of a 2x strip lie further apart than its
// 32 KB window); the controls take them stacked.
BOOL LoadDoublePng(CImage& image, LPCWSTR name, int frames)
{
    if (frames <= 1)
        return LoadPngOfType(image, name, kDoublePngType);
    CImage sideBySide;
    if (!LoadPngOfType(sideBySide, name, kDoublePngType))
        return FALSE;
    image.Destroy();
    return StackFrames(sideBySide, frames, image) ? TRUE : FALSE;
}

}  // namespace

BOOL LoadPngResource(CImage& image, LPCWSTR name)
{
    return LoadPngOfType(image, name, kPngType);
}

SIZE FrameSizeForDpi(SIZE designSize, UINT dpi)
{
    return SIZE{qxt::ScaleToDpi(designSize.cx, dpi), qxt::ScaleToDpi(designSize.cy, dpi)};
}

BOOL LoadPngResourceForDpi(CImage& image, LPCWSTR name, UINT dpi, int frames)
{
    if (dpi == qxt::kDesignDpi || dpi == 0)
        return LoadPngResource(image, name);
    if (frames <= 0)
        frames = 1;
    if (dpi == kDoubleDpi && LoadDoublePng(image, name, frames))
        return TRUE;

    // Drawn from the larger picture where there is one: shrinking keeps it
    // crisp, enlarging the 1x picture would blur it.
    CImage source;
    UINT sourceDpi = kDoubleDpi;
    if (!LoadDoublePng(source, name, frames)) {
        sourceDpi = qxt::kDesignDpi;
        if (!LoadPngResource(source, name))
            return FALSE;
    }
    if (source.GetHeight() % frames != 0)
        frames = 1;
    // The frame at 96 dpi, and from it the frame at dpi: the same rounding as
    // the layout's, so a control and its picture have the same size.
    const int designWidth = ::MulDiv(source.GetWidth(), static_cast<int>(qxt::kDesignDpi), static_cast<int>(sourceDpi));
    const int designHeight =
        ::MulDiv(source.GetHeight() / frames, static_cast<int>(qxt::kDesignDpi), static_cast<int>(sourceDpi));
    const SIZE frame = FrameSizeForDpi(SIZE{designWidth, designHeight}, dpi);
    image.Destroy();
    return ScaleFrames(source, frames, frame.cx, frame.cy, image) ? TRUE : FALSE;
}
