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
