// Loads a PNG resource (type "PNG") of the resource module into an empty
// image. A 32-bit image comes out premultiplied: blue, green and red each
// times alpha / 255, truncated, so every later draw is one AlphaBlend.
#pragma once

#include <windows.h>

#include "framework/Image.h"

// True when the image holds the picture; false (image left empty) when the
// resource is missing, cannot be loaded or copied, or does not decode.
BOOL LoadPngResource(CImage& image, LPCWSTR name);

// The premultiplication of one 32-bit image, in place.
void PremultiplyAlpha(CImage& image);

// The skin at a display scale. The resources of type "PNG" are the pictures
// at 96 dpi; those of type "PNG2X" with the same names are drawn at twice the
// size for 192 dpi, their frames side by side from the left. At 96 dpi this
// is LoadPngResource; at 192 dpi the 2x picture as it is, its frames
// stacked; at any other DPI the 2x picture (or, without one, the 1x
// picture) with each of its `frames` frames resized to the frame size at
// that DPI, so that a control sized to one frame shows it unstretched.
BOOL LoadPngResourceForDpi(CImage& image, LPCWSTR name, UINT dpi, int frames = 1);

// The size of one frame at dpi of a picture whose frame at 96 dpi is
// designSize: each side scaled and rounded to the nearest pixel.
SIZE FrameSizeForDpi(SIZE designSize, UINT dpi);
