// Reading the two picture formats the window starts with, without GDI+: a PNG decoded to pixels, and the
// layout of a GIF (size, frames and their delays) read from its blocks. Loading GDI+ and its codecs costs
// a visible part of the start-up under Wine; a GIF's pixels are left to GDI+ until it is first drawn.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct TPixels {
    int Width = 0, Height = 0;
    bool Opaque = true;
    std::vector<uint32_t> Bgra; // top-down rows, alpha premultiplied, as GDI blends them
};

// The picture of a PNG of 8 bits per sample, not interlaced, in any colour type. False for anything else
// and for damaged data; the caller hands such files to GDI+, which supports more and reports damage.
bool DecodePng(const uint8_t* Data, size_t Size, TPixels& Out);

struct TGifLayout {
    int Width = 0, Height = 0;
    std::vector<int> Delays; // per frame, in hundredths of a second as stored (0 when none is given)
};

// The layout of a complete GIF; false when the blocks do not make one (missing trailer, a block that runs
// past the end, no frame).
bool ScanGif(const uint8_t* Data, size_t Size, TGifLayout& Out);
