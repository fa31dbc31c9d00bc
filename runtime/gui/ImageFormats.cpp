#include "runtime/gui/ImageFormats.h"

#include <cstring>
#include <zlib.h>

namespace {

uint32_t BigEndian32(const uint8_t* P) {
    return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3];
}

uint8_t Paeth(int A, int B, int C) {
    int p = A + B - C, pa = p > A ? p - A : A - p, pb = p > B ? p - B : B - p, pc = p > C ? p - C : C - p;
    return uint8_t(pa <= pb && pa <= pc ? A : pb <= pc ? B : C);
}

// Undoes the per-row filters in place; Raw holds Height rows of one filter byte and Stride bytes. Each byte
// adds a prediction from its left (a), upper (b) and upper-left (c) neighbours, zero outside the picture:
// one loop per filter, as a picture's worth of bytes goes through here at start-up.
bool Unfilter(std::vector<uint8_t>& Raw, int Height, size_t Stride, int Bpp) {
    const std::vector<uint8_t> zeros(Stride);
    const uint8_t* prior = zeros.data();
    const size_t bpp = size_t(Bpp);
    for (int y = 0; y < Height; ++y) {
        uint8_t* row = Raw.data() + y * (Stride + 1);
        uint8_t* cur = row + 1;
        switch (row[0]) {
        case 0:
            break;
        case 1:
            for (size_t i = bpp; i < Stride; ++i) cur[i] = uint8_t(cur[i] + cur[i - bpp]);
            break;
        case 2:
            for (size_t i = 0; i < Stride; ++i) cur[i] = uint8_t(cur[i] + prior[i]);
            break;
        case 3:
            for (size_t i = 0; i < bpp; ++i) cur[i] = uint8_t(cur[i] + prior[i] / 2);
            for (size_t i = bpp; i < Stride; ++i) cur[i] = uint8_t(cur[i] + (cur[i - bpp] + prior[i]) / 2);
            break;
        case 4: // with a and c zero the prediction is b
            for (size_t i = 0; i < bpp; ++i) cur[i] = uint8_t(cur[i] + prior[i]);
            for (size_t i = bpp; i < Stride; ++i)
                cur[i] = uint8_t(cur[i] + Paeth(cur[i - bpp], prior[i], prior[i - bpp]));
            break;
        default:
            return false;
        }
        prior = cur;
    }
    return true;
}

} // namespace

bool DecodePng(const uint8_t* Data, size_t Size, TPixels& Out) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (Size < 8 || std::memcmp(Data, signature, 8) != 0) return false;
    int width = 0, height = 0, colorType = -1, bpp = 0;
    uint32_t palette[256] = {}; // 0xAARRGGBB
    int paletteSize = 0;
    std::vector<uint8_t> raw;
    size_t stride = 0;
    z_stream z{};
    bool inflating = false, complete = false, ended = false;
    struct TEnd {
        z_stream& z;
        bool& on;
        ~TEnd() {
            if (on) inflateEnd(&z);
        }
    } end{z, inflating};

    for (size_t pos = 8; !ended;) {
        if (Size - pos < 12) return false;
        const uint32_t length = BigEndian32(Data + pos);
        if (length > Size - pos - 12) return false;
        const uint8_t* type = Data + pos + 4;
        const uint8_t* body = Data + pos + 8;
        if (crc32(0, type, length + 4) != BigEndian32(body + length)) return false;
        pos += 12 + length;
        if (!std::memcmp(type, "IHDR", 4)) {
            if (length != 13 || colorType >= 0) return false;
            const uint32_t w = BigEndian32(body), h = BigEndian32(body + 4);
            // Depth 8, deflate, standard filters, no interlace: what the program's own pictures use.
            if (w == 0 || h == 0 || w > 16384 || h > 16384 || body[8] != 8 || body[10] || body[11] ||
                body[12])
                return false;
            colorType = body[9];
            static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
            if (colorType > 6 || !channels[colorType]) return false;
            width = int(w), height = int(h), bpp = channels[colorType];
            stride = size_t(width) * bpp;
            raw.resize((stride + 1) * height);
            if (inflateInit(&z) != Z_OK) return false;
            inflating = true;
            z.next_out = raw.data();
            z.avail_out = uInt(raw.size());
        } else if (colorType < 0) {
            return false; // IHDR comes first
        } else if (!std::memcmp(type, "PLTE", 4)) {
            if (length % 3 || length / 3 > 256) return false;
            paletteSize = int(length / 3);
            for (int i = 0; i < paletteSize; ++i)
                palette[i] = 0xFF000000u | uint32_t(body[3 * i]) << 16 | uint32_t(body[3 * i + 1]) << 8 |
                             body[3 * i + 2];
        } else if (!std::memcmp(type, "tRNS", 4)) {
            // Transparency by palette entry; a single transparent colour of the other types is left to GDI+.
            if (colorType != 3 || length > 256) return false;
            for (uint32_t i = 0; i < length; ++i)
                palette[i] = (palette[i] & 0x00FFFFFF) | uint32_t(body[i]) << 24;
        } else if (!std::memcmp(type, "IDAT", 4)) {
            if (complete) return false;
            z.next_in = const_cast<Bytef*>(body);
            z.avail_in = length;
            const int ret = inflate(&z, Z_NO_FLUSH);
            if (ret == Z_STREAM_END)
                complete = true;
            else if (ret != Z_OK && !(ret == Z_BUF_ERROR && z.avail_in == 0))
                return false;
            if (z.avail_in) return false; // more data than the picture holds
        } else if (!std::memcmp(type, "IEND", 4)) {
            ended = true;
        } else if (!(type[0] & 0x20)) {
            return false; // a critical chunk this reader does not know
        }
    }
    if (!complete || z.avail_out != 0 || (colorType == 3 && paletteSize == 0)) return false;
    if (!Unfilter(raw, height, stride, bpp)) return false;

    Out.Width = width, Out.Height = height, Out.Opaque = true;
    Out.Bgra.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = raw.data() + y * (stride + 1) + 1;
        uint32_t* d = Out.Bgra.data() + size_t(y) * width;
        for (int x = 0; x < width; ++x, s += bpp) {
            uint32_t r, g, b, a = 255;
            switch (colorType) {
            case 0:
                r = g = b = s[0];
                break;
            case 2:
                r = s[0], g = s[1], b = s[2];
                break;
            case 3: {
                if (s[0] >= paletteSize) return false;
                const uint32_t p = palette[s[0]];
                a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                break;
            }
            case 4:
                r = g = b = s[0], a = s[1];
                break;
            default:
                r = s[0], g = s[1], b = s[2], a = s[3];
            }
            if (a != 255) {
                Out.Opaque = false;
                r = (r * a + 127) / 255, g = (g * a + 127) / 255, b = (b * a + 127) / 255;
            }
            d[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    return true;
}

bool ScanGif(const uint8_t* Data, size_t Size, TGifLayout& Out) {
    if (Size < 13 || (std::memcmp(Data, "GIF87a", 6) && std::memcmp(Data, "GIF89a", 6))) return false;
    Out.Width = Data[6] | Data[7] << 8;
    Out.Height = Data[8] | Data[9] << 8;
    Out.Delays.clear();
    size_t pos = 13;
    if (Data[10] & 0x80) pos += 3u << ((Data[10] & 7) + 1);
    // Skips a chain of data sub-blocks; false when it runs past the end.
    auto skipBlocks = [&] {
        for (;;) {
            if (pos >= Size) return false;
            const uint8_t n = Data[pos++];
            if (n == 0) return true;
            if (n > Size - pos) return false;
            pos += n;
        }
    };
    int delay = 0;
    while (pos < Size) {
        switch (Data[pos++]) {
        case 0x3B: // trailer
            return !Out.Delays.empty();
        case 0x21: // extension
            if (pos >= Size) return false;
            if (Data[pos] == 0xF9 && Size - pos >= 6 && Data[pos + 1] == 4)
                delay = Data[pos + 3] | Data[pos + 4] << 8;
            ++pos;
            if (!skipBlocks()) return false;
            break;
        case 0x2C: { // image: descriptor, local colour table, LZW code size, data
            if (Size - pos < 9) return false;
            const uint8_t flags = Data[pos + 8];
            pos += 9;
            if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
            if (pos >= Size) return false;
            ++pos;
            if (!skipBlocks()) return false;
            Out.Delays.push_back(delay);
            delay = 0;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}
