#include "framework/Image.h"

#include <gdiplus.h>

#include <vector>

#include "framework/Handles.h"

namespace {

namespace gp = Gdiplus;
namespace gpflat = Gdiplus::DllExports;

// GDI+ serves only to decode: the pictures live in DIB sections of their
// own. It is loaded by the first Load and unloaded by ReleaseImageDecoder, so
// that it, the imaging codecs below it and their heaps (some 2 MB) are gone
// while the program goes on. Loads and the release take turns under one lock.
SRWLOCK g_decoderLock = SRWLOCK_INIT;

struct Decoder {
    HMODULE module = nullptr;
    ULONG_PTR token = 0;
    decltype(&gp::GdiplusStartup) Startup = nullptr;
    decltype(&gp::GdiplusShutdown) Shutdown = nullptr;
    decltype(&gpflat::GdipCreateBitmapFromStream) CreateBitmapFromStream = nullptr;
    decltype(&gpflat::GdipDisposeImage) DisposeImage = nullptr;
    decltype(&gpflat::GdipGetImageWidth) GetImageWidth = nullptr;
    decltype(&gpflat::GdipGetImageHeight) GetImageHeight = nullptr;
    decltype(&gpflat::GdipGetImagePixelFormat) GetImagePixelFormat = nullptr;
    decltype(&gpflat::GdipGetImagePaletteSize) GetImagePaletteSize = nullptr;
    decltype(&gpflat::GdipGetImagePalette) GetImagePalette = nullptr;
    decltype(&gpflat::GdipBitmapLockBits) BitmapLockBits = nullptr;
    decltype(&gpflat::GdipBitmapUnlockBits) BitmapUnlockBits = nullptr;
};
Decoder g_decoder;

template <typename Function>
bool Resolve(HMODULE module, Function& function, const char* name)
{
    // Through the generic function pointer type: a direct cast from FARPROC
    // to another function type draws -Wcast-function-type.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
    return function != nullptr;
}

void UnloadDecoder()
{
    if (g_decoder.token)
        g_decoder.Shutdown(g_decoder.token);
    if (g_decoder.module)
        ::FreeLibrary(g_decoder.module);
    g_decoder = Decoder{};
}

// With g_decoderLock held.
bool EnsureDecoder()
{
    if (g_decoder.token)
        return true;
    Decoder& d = g_decoder;
    d.module = ::LoadLibraryW(L"gdiplus.dll");
    gp::GdiplusStartupInput input;
    if (!d.module || !Resolve(d.module, d.Startup, "GdiplusStartup") ||
        !Resolve(d.module, d.Shutdown, "GdiplusShutdown") ||
        !Resolve(d.module, d.CreateBitmapFromStream, "GdipCreateBitmapFromStream") ||
        !Resolve(d.module, d.DisposeImage, "GdipDisposeImage") ||
        !Resolve(d.module, d.GetImageWidth, "GdipGetImageWidth") ||
        !Resolve(d.module, d.GetImageHeight, "GdipGetImageHeight") ||
        !Resolve(d.module, d.GetImagePixelFormat, "GdipGetImagePixelFormat") ||
        !Resolve(d.module, d.GetImagePaletteSize, "GdipGetImagePaletteSize") ||
        !Resolve(d.module, d.GetImagePalette, "GdipGetImagePalette") ||
        !Resolve(d.module, d.BitmapLockBits, "GdipBitmapLockBits") ||
        !Resolve(d.module, d.BitmapUnlockBits, "GdipBitmapUnlockBits") ||
        d.Startup(&d.token, &input, nullptr) != gp::Ok) {
        d.token = 0;
        UnloadDecoder();
        return false;
    }
    return true;
}

class DecoderLock {
public:
    DecoderLock() { ::AcquireSRWLockExclusive(&g_decoderLock); }
    ~DecoderLock() { ::ReleaseSRWLockExclusive(&g_decoderLock); }
    DecoderLock(const DecoderLock&) = delete;
    DecoderLock& operator=(const DecoderLock&) = delete;
};

// GDI+ bitmap released when the decode is done.
struct GpBitmapOwner {
    gp::GpBitmap* bitmap = nullptr;
    ~GpBitmapOwner()
    {
        if (bitmap)
            g_decoder.DisposeImage(bitmap);
    }
};

int PitchOf(int width, int bpp)
{
    return ((width * bpp + 31) / 32) * 4;
}

}  // namespace

void ReleaseImageDecoder()
{
    DecoderLock lock;
    UnloadDecoder();
    // GDI+ made its decoders through COM, which keeps the codecs' library
    // loaded until it is asked to let unused ones go.
    ::CoFreeUnusedLibrariesEx(0, 0);
}

CImage::~CImage()
{
    Destroy();
}

void CImage::Destroy() noexcept
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    m_pBits = nullptr;
    m_nWidth = m_nHeight = m_nPitch = m_nBPP = 0;
    m_bHasAlphaChannel = false;
}

HRESULT CImage::Create(int width, int height, bool hasAlphaChannel)
{
    if (m_hBitmap || width <= 0 || height <= 0)
        return E_INVALIDARG;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) {
        if (dib)
            ::DeleteObject(dib);
        return E_OUTOFMEMORY;
    }
    m_hBitmap = dib;
    m_pBits = bits;
    m_nWidth = width;
    m_nHeight = height;
    m_nPitch = PitchOf(width, 32);
    m_nBPP = 32;
    m_bHasAlphaChannel = hasAlphaChannel;
    return S_OK;
}

HRESULT CImage::Load(IStream* stream)
{
    if (!stream || m_hBitmap)
        return E_INVALIDARG;
    DecoderLock lock;
    if (!EnsureDecoder())
        return E_FAIL;

    GpBitmapOwner source;
    if (g_decoder.CreateBitmapFromStream(stream, &source.bitmap) != gp::Ok || !source.bitmap)
        return E_FAIL;

    UINT width = 0;
    UINT height = 0;
    gp::PixelFormat format = 0;
    if (g_decoder.GetImageWidth(source.bitmap, &width) != gp::Ok ||
        g_decoder.GetImageHeight(source.bitmap, &height) != gp::Ok ||
        g_decoder.GetImagePixelFormat(source.bitmap, &format) != gp::Ok || width == 0 || height == 0)
        return E_FAIL;

    // An indexed picture's colour table; a palette with alpha (a PNG palette
    // with a tRNS chunk) makes it a picture with alpha.
    bool hasAlpha = gp::IsAlphaPixelFormat(format);
    bool indexed = gp::IsIndexedPixelFormat(format);
    std::vector<BYTE> paletteBytes;
    const gp::ColorPalette* palette = nullptr;
    if (indexed) {
        INT paletteSize = 0;
        if (g_decoder.GetImagePaletteSize(source.bitmap, &paletteSize) != gp::Ok || paletteSize <= 0)
            return E_FAIL;
        paletteBytes.resize(static_cast<size_t>(paletteSize));
        auto* read = reinterpret_cast<gp::ColorPalette*>(paletteBytes.data());
        if (g_decoder.GetImagePalette(source.bitmap, read, paletteSize) != gp::Ok)
            return E_FAIL;
        palette = read;
        if (palette->Flags & gp::PaletteFlagsHasAlpha) {
            hasAlpha = true;
            indexed = false;
        }
    }

    // The DIB's format: 32-bit with alpha for any format or palette with
    // alpha, the decoder's own for other palette, 24- and 32-bit images,
    // 24-bit for the rest.
    gp::PixelFormat dibFormat;
    if (hasAlpha)
        dibFormat = PixelFormat32bppARGB;  // straight alpha, as stored in the file
    else if (indexed || format == PixelFormat24bppRGB || format == PixelFormat32bppRGB)
        dibFormat = format;
    else
        dibFormat = PixelFormat24bppRGB;
    const int bpp = static_cast<int>(gp::GetPixelFormatSize(dibFormat));

    // BITMAPINFO with room for a colour table of up to 256 entries.
    std::vector<BYTE> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = static_cast<LONG>(width);
    info->bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bpp);
    info->bmiHeader.biCompression = BI_RGB;

    if (indexed) {
        const UINT entries = palette->Count < (1u << bpp) ? palette->Count : (1u << bpp);
        for (UINT i = 0; i < entries; ++i) {
            const gp::ARGB argb = palette->Entries[i];
            info->bmiColors[i] = RGBQUAD{static_cast<BYTE>(argb), static_cast<BYTE>(argb >> 8),
                                         static_cast<BYTE>(argb >> 16), 0};
        }
        info->bmiHeader.biClrUsed = entries;
    }

    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) {
        if (dib)
            ::DeleteObject(dib);
        return E_OUTOFMEMORY;
    }

    const int pitch = PitchOf(static_cast<int>(width), bpp);
    gp::GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    gp::BitmapData data{};
    data.Width = width;
    data.Height = height;
    data.Stride = pitch;
    data.PixelFormat = static_cast<INT>(dibFormat);
    data.Scan0 = bits;
    const UINT mode = gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf;
    if (g_decoder.BitmapLockBits(source.bitmap, &whole, mode, dibFormat, &data) != gp::Ok) {
        ::DeleteObject(dib);
        return E_FAIL;
    }
    g_decoder.BitmapUnlockBits(source.bitmap, &data);
    ::GdiFlush();

    m_hBitmap = dib;
    m_pBits = bits;
    m_nWidth = static_cast<int>(width);
    m_nHeight = static_cast<int>(height);
    m_nPitch = pitch;
    m_nBPP = bpp;
    m_bHasAlphaChannel = hasAlpha;
    return S_OK;
}

void* CImage::GetPixelAddress(int x, int y) noexcept
{
    return static_cast<BYTE*>(m_pBits) + y * m_nPitch + x * m_nBPP / 8;
}

const void* CImage::GetPixelAddress(int x, int y) const noexcept
{
    return static_cast<const BYTE*>(m_pBits) + y * m_nPitch + x * m_nBPP / 8;
}

BOOL CImage::Draw(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight) const noexcept
{
    if (!m_hBitmap)
        return FALSE;
    // Each draw has a memory DC of its own, so that several threads can draw
    // different images at the same time.
    qxt::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!memory)
        return FALSE;
    qxt::SelectObjectGuard select(memory.Get(), m_hBitmap);
    if (m_bHasAlphaChannel) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 0xFF, AC_SRC_ALPHA};
        return ::GdiAlphaBlend(dc, xDest, yDest, destWidth, destHeight, memory.Get(), xSrc, ySrc, srcWidth,
                               srcHeight, blend);
    }
    return ::StretchBlt(dc, xDest, yDest, destWidth, destHeight, memory.Get(), xSrc, ySrc, srcWidth, srcHeight,
                        SRCCOPY);
}

BOOL CImage::Draw(HDC dc, const RECT& dest, const RECT& src) const noexcept
{
    return Draw(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, src.left, src.top,
                src.right - src.left, src.bottom - src.top);
}

BOOL CImage::AlphaBlend(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                        int srcWidth, int srcHeight, BYTE sourceAlpha, BYTE blendOp) const noexcept
{
    if (!m_hBitmap)
        return FALSE;
    qxt::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!memory)
        return FALSE;
    qxt::SelectObjectGuard select(memory.Get(), m_hBitmap);
    const BLENDFUNCTION blend{blendOp, 0, sourceAlpha, static_cast<BYTE>(m_bHasAlphaChannel ? AC_SRC_ALPHA : 0)};
    return ::GdiAlphaBlend(dc, xDest, yDest, destWidth, destHeight, memory.Get(), xSrc, ySrc, srcWidth, srcHeight,
                           blend);
}

BOOL CImage::AlphaBlend(HDC dc, const RECT& dest, const RECT& src, BYTE sourceAlpha, BYTE blendOp) const noexcept
{
    return AlphaBlend(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, src.left, src.top,
                      src.right - src.left, src.bottom - src.top, sourceAlpha, blendOp);
}
