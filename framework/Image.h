// CImage: a picture held as a device-independent bitmap with direct pixel
// access, decoded by GDI+.
//
// A PNG with an alpha channel or with a palette of colours with alpha (tRNS)
// becomes a 32-bit image (blue, green, red, alpha per pixel, as stored in the
// file: not premultiplied) with the alpha flag; any other PNG keeps the decoder's own format (24-bit truecolour, an
// 8-bit palette image with its colour table). Draw blends an image with alpha
// per pixel, which needs premultiplied pixels, and copies any other image.
//
// GDI+ decodes: it is loaded with the first Load and stays until
// ReleaseImageDecoder; a Load after that loads it again.
#pragma once

#include <windows.h>
#include <objidl.h>

class CImage {
public:
    CImage() noexcept = default;
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;
    ~CImage();

    // Decodes the picture read from the stream; the image must be empty.
    // Negative HRESULT on failure, the image then stays empty.
    HRESULT Load(IStream* stream);
    void Destroy() noexcept;
    // An empty 32-bit picture of the size (every byte 0), with or without the
    // alpha flag; the image must be empty.
    HRESULT Create(int width, int height, bool hasAlphaChannel);

    bool IsNull() const noexcept { return m_hBitmap == nullptr; }
    operator HBITMAP() const noexcept { return m_hBitmap; }
    int GetWidth() const noexcept { return m_nWidth; }
    int GetHeight() const noexcept { return m_nHeight; }
    int GetBPP() const noexcept { return m_nBPP; }
    // Bytes from one row to the next (rows run from the top down).
    int GetPitch() const noexcept { return m_nPitch; }
    bool HasAlphaChannel() const noexcept { return m_bHasAlphaChannel; }
    // Address of the pixel in column x of row y, row 0 at the top.
    void* GetPixelAddress(int x, int y) noexcept;
    const void* GetPixelAddress(int x, int y) const noexcept;

    // Copies the source rectangle of the image to the destination rectangle:
    // with per-pixel alpha over the destination (AlphaBlend, AC_SRC_ALPHA,
    // constant alpha 255) for an image with alpha, by StretchBlt (SRCCOPY)
    // for any other. Stretches when the sizes differ.
    BOOL Draw(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
              int srcWidth, int srcHeight) const noexcept;
    BOOL Draw(HDC dc, const RECT& dest, const RECT& src) const noexcept;
    // AlphaBlend with a constant alpha that scales the per-pixel alpha of an
    // image with alpha (or is the only alpha of one without).
    BOOL AlphaBlend(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, BYTE sourceAlpha = 0xFF,
                    BYTE blendOp = AC_SRC_OVER) const noexcept;
    BOOL AlphaBlend(HDC dc, const RECT& dest, const RECT& src, BYTE sourceAlpha = 0xFF,
                    BYTE blendOp = AC_SRC_OVER) const noexcept;

private:
    HBITMAP m_hBitmap = nullptr;
    void* m_pBits = nullptr;  // top row
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nPitch = 0;
    int m_nBPP = 0;
    bool m_bHasAlphaChannel = false;
};

// Unloads GDI+ after a program's pictures are decoded; the images keep their
// pixels.
void ReleaseImageDecoder();
