#include "framework/ImageScale.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/Handles.h"

namespace {

// The source pixels a target pixel covers along one axis, with their shares
// in whole numbers: measured in units of 1 / targetLength of a source pixel,
// target pixel t spans [t * sourceLength, (t + 1) * sourceLength) and source
// pixel s spans [s * targetLength, (s + 1) * targetLength); the shares of one
// target pixel add up to sourceLength. Exact, so a pixel that covers two
// halves comes out as their mean rounded half up, on every machine alike.
struct Contribution {
    int first;
    std::vector<long long> weights;
};

std::vector<Contribution> Contributions(int sourceLength, int targetLength)
{
    std::vector<Contribution> result(static_cast<size_t>(targetLength));
    for (int t = 0; t < targetLength; ++t) {
        const long long from = static_cast<long long>(t) * sourceLength;
        const long long to = from + sourceLength;
        Contribution& c = result[static_cast<size_t>(t)];
        c.first = static_cast<int>(from / targetLength);
        for (long long s = c.first; s < sourceLength && s * targetLength < to; ++s) {
            const long long lo = s * targetLength > from ? s * targetLength : from;
            const long long hi = (s + 1) * targetLength < to ? (s + 1) * targetLength : to;
            c.weights.push_back(hi - lo);
        }
    }
    return result;
}

// The source's pixels as 32-bit blue, green, red, alpha rows: its own for a
// 32-bit picture, a copy for any other (palette and 24-bit pictures alike).
bool AsThirtyTwoBit(const CImage& source, CImage& copy, const CImage*& pixels)
{
    if (source.GetBPP() == 32) {
        pixels = &source;
        return true;
    }
    if (FAILED(copy.Create(source.GetWidth(), source.GetHeight(), false)))
        return false;
    qxt::UniqueMemoryDc memory(::CreateCompatibleDC(nullptr));
    if (!memory)
        return false;
    {
        qxt::SelectObjectGuard select(memory.Get(), static_cast<HBITMAP>(copy));
        source.Draw(memory.Get(), 0, 0, source.GetWidth(), source.GetHeight(), 0, 0, source.GetWidth(),
                    source.GetHeight());
    }
    ::GdiFlush();
    pixels = &copy;
    return true;
}

}  // namespace

bool ScaleFrames(const CImage& source, int frames, int frameWidth, int frameHeight, CImage& target)
{
    if (source.IsNull() || frames <= 0 || source.GetHeight() % frames != 0 || frameWidth <= 0 || frameHeight <= 0)
        return false;
    CImage copy;
    const CImage* pixels = nullptr;
    if (!AsThirtyTwoBit(source, copy, pixels))
        return false;
    if (FAILED(target.Create(frameWidth, frameHeight * frames, source.HasAlphaChannel())))
        return false;

    const int sourceWidth = source.GetWidth();
    const int sourceFrameHeight = source.GetHeight() / frames;
    const std::vector<Contribution> columns = Contributions(sourceWidth, frameWidth);
    const std::vector<Contribution> rows = Contributions(sourceFrameHeight, frameHeight);
    std::vector<long long> sum(static_cast<size_t>(frameWidth) * 4);
    // Every sum is over an area of sourceWidth x sourceFrameHeight units.
    const long long whole = static_cast<long long>(sourceWidth) * sourceFrameHeight;

    for (int frame = 0; frame < frames; ++frame) {
        for (int ty = 0; ty < frameHeight; ++ty) {
            std::fill(sum.begin(), sum.end(), 0LL);
            const Contribution& row = rows[static_cast<size_t>(ty)];
            for (size_t r = 0; r < row.weights.size(); ++r) {
                const int sy = frame * sourceFrameHeight + row.first + static_cast<int>(r);
                const auto* line = static_cast<const BYTE*>(pixels->GetPixelAddress(0, sy));
                for (int tx = 0; tx < frameWidth; ++tx) {
                    const Contribution& column = columns[static_cast<size_t>(tx)];
                    long long channel[4] = {};
                    for (size_t c = 0; c < column.weights.size(); ++c) {
                        const BYTE* p = line + (column.first + static_cast<int>(c)) * 4;
                        for (int k = 0; k < 4; ++k)
                            channel[k] += p[k] * column.weights[c];
                    }
                    for (int k = 0; k < 4; ++k)
                        sum[static_cast<size_t>(tx) * 4 + k] += channel[k] * row.weights[r];
                }
            }
            auto* out = static_cast<BYTE*>(target.GetPixelAddress(0, frame * frameHeight + ty));
            for (int i = 0; i < frameWidth * 4; ++i) {
                const long long v = (sum[static_cast<size_t>(i)] + whole / 2) / whole;
                out[i] = static_cast<BYTE>(v > 255 ? 255 : v);
            }
            if (!source.HasAlphaChannel())
                for (int tx = 0; tx < frameWidth; ++tx)
                    out[tx * 4 + 3] = 255;
        }
    }
    return true;
}

bool StackFrames(const CImage& source, int frames, CImage& target)
{
    if (source.IsNull() || frames <= 0 || source.GetWidth() % frames != 0)
        return false;
    CImage copy;
    const CImage* pixels = nullptr;
    if (!AsThirtyTwoBit(source, copy, pixels))
        return false;
    const int frameWidth = source.GetWidth() / frames;
    const int frameHeight = source.GetHeight();
    if (FAILED(target.Create(frameWidth, frameHeight * frames, source.HasAlphaChannel())))
        return false;
    const size_t rowBytes = static_cast<size_t>(frameWidth) * 4;
    for (int i = 0; i < frames; ++i)
        for (int y = 0; y < frameHeight; ++y)
            std::memcpy(target.GetPixelAddress(0, i * frameHeight + y), pixels->GetPixelAddress(i * frameWidth, y),
                        rowBytes);
    return true;
}
