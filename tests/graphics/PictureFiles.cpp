#include "PictureFiles.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <SDL.h>
#include <SDL_image.h>
#include <jpeglib.h>
#include <unistd.h>

namespace PictureFiles {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string TestImage(const std::string& name) { return ReadFile(std::string(RK_TEST_IMAGES) + "/" + name); }

TBytes& TBytes::U16(int v)
{
    Data += static_cast<char>(v & 0xFF);
    Data += static_cast<char>((v >> 8) & 0xFF);
    return *this;
}

TBytes& TBytes::U32(uint32_t v)
{
    U16(static_cast<int>(v & 0xFFFF));
    return U16(static_cast<int>(v >> 16));
}

TBytes& TBytes::Raw(const std::string& s)
{
    Data += s;
    return *this;
}

std::string Bitmap(const TRgbImage& image)
{
    int rowBytes = (image.Width * 3 + 3) / 4 * 4;
    TBytes b;
    b.Raw("BM").U32(static_cast<uint32_t>(54 + rowBytes * image.Height)).U32(0).U32(54);
    b.U32(40).U32(static_cast<uint32_t>(image.Width)).U32(static_cast<uint32_t>(image.Height)).U16(1).U16(24);
    b.U32(0).U32(static_cast<uint32_t>(rowBytes * image.Height)).U32(2835).U32(2835).U32(0).U32(0);
    for (int y = image.Height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < image.Width; ++x) {
            uint32_t p = image.Pixels[static_cast<size_t>(y * image.Width + x)];
            row +=
                {static_cast<char>(p & 0xFF), static_cast<char>((p >> 8) & 0xFF), static_cast<char>((p >> 16) & 0xFF)};
        }
        row.resize(static_cast<size_t>(rowBytes), '\0');
        b.Raw(row);
    }
    return b.Data;
}

std::string BitfieldBitmap(int width, int height, int bitCount, const TMasks& masks,
                           const std::vector<uint32_t>& pixels, uint32_t headerSize, bool topDown)
{
    uint32_t masksSize = headerSize >= 52 ? 0 : 12;  // after a 40-byte header, the three colour masks
    uint32_t pixelsAt = 14 + headerSize + masksSize;
    size_t rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    TBytes b;
    b.Raw("BM").U32(static_cast<uint32_t>(pixelsAt + rowBytes * static_cast<size_t>(height))).U32(0).U32(pixelsAt);
    b.U32(headerSize).U32(static_cast<uint32_t>(width)).U32(static_cast<uint32_t>(topDown ? -height : height));
    b.U16(1).U16(bitCount).U32(3).U32(0).U32(2835).U32(2835).U32(0).U32(0);
    b.U32(masks.Red).U32(masks.Green).U32(masks.Blue);
    if (headerSize >= 56)
        b.U32(masks.Alpha);
    b.Raw(std::string(headerSize > 56 ? headerSize - 56 : 0, '\0'));
    for (int row = 0; row < height; ++row) {
        int y = topDown ? row : height - 1 - row;
        std::string line;
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            for (int i = 0; i < bitCount / 8; ++i)
                line += static_cast<char>(p >> (8 * i));
        }
        line.resize(rowBytes, '\0');
        b.Raw(line);
    }
    return b.Data;
}

namespace {

// Rows of indices packed `bitCount` to a pixel, bottom-up, each padded to four bytes.
std::string PackedRows(int width, int height, int bitCount, const std::vector<uint8_t>& indices)
{
    size_t rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    std::string rows;
    for (int y = height - 1; y >= 0; --y) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            size_t bit = static_cast<size_t>(x * bitCount);
            int shift = 8 - bitCount - static_cast<int>(bit % 8);
            row[bit / 8] = static_cast<char>(row[bit / 8] | indices[static_cast<size_t>(y * width + x)] << shift);
        }
        rows += row;
    }
    return rows;
}

std::string InfoHeader(int width, int height, int bitCount, size_t colours)
{
    TBytes b;
    b.U32(40).U32(static_cast<uint32_t>(width)).U32(static_cast<uint32_t>(height)).U16(1).U16(bitCount);
    b.U32(0).U32(0).U32(2835).U32(2835).U32(static_cast<uint32_t>(colours)).U32(0);
    return b.Data;
}

std::string Palette(const std::vector<uint32_t>& palette)
{
    TBytes b;
    for (uint32_t colour : palette)
        b.U32(colour);
    return b.Data;
}

}  // namespace

std::string PaletteBitmap(int width, int height, int bitCount, const std::vector<uint32_t>& palette,
                          const std::vector<uint8_t>& indices, size_t gap)
{
    std::string info = InfoHeader(width, height, bitCount, palette.size()) + Palette(palette) + std::string(gap, '\0');
    std::string rows = PackedRows(width, height, bitCount, indices);
    TBytes b;
    b.Raw("BM").U32(static_cast<uint32_t>(14 + info.size() + rows.size())).U32(0);
    b.U32(static_cast<uint32_t>(14 + info.size()));
    return b.Data + info + rows;
}

std::string PaletteIconImage(int width, int height, int bitCount, const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& indices, const std::vector<bool>& masked)
{
    std::vector<uint8_t> mask(masked.begin(), masked.end());
    return InfoHeader(width, height * 2, bitCount, palette.size()) + Palette(palette) +
           PackedRows(width, height, bitCount, indices) + PackedRows(width, height, 1, mask);
}

std::string IconImage(int width, int height, const std::vector<uint32_t>& argb, const std::vector<bool>* masked)
{
    int maskRow = (width + 31) / 32 * 4;
    TBytes image;
    image.U32(40).U32(static_cast<uint32_t>(width)).U32(static_cast<uint32_t>(height * 2)).U16(1).U16(32);
    image.U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            image.U32(argb[static_cast<size_t>(y * width + x)]);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(maskRow), '\0');
        for (int x = 0; x < width; ++x)
            if (masked ? (*masked)[static_cast<size_t>(y * width + x)]
                       : argb[static_cast<size_t>(y * width + x)] >> 24 == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        image.Raw(row);
    }
    return image.Data;
}

std::string Png(int width, int height, const std::vector<uint32_t>& argb)
{
    std::vector<uint32_t> pixels = argb;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_ARGB8888);
    FILE* file = tmpfile();
    SDL_RWops* out = file ? SDL_RWFromFP(file, SDL_TRUE) : nullptr;
    std::string png;
    if (surface && out && IMG_SavePNG_RW(surface, out, 0) == 0) {
        png.resize(static_cast<size_t>(SDL_RWtell(out)));
        SDL_RWseek(out, 0, RW_SEEK_SET);
        SDL_RWread(out, png.data(), 1, png.size());
    }
    if (out)
        SDL_RWclose(out);
    SDL_FreeSurface(surface);
    if (png.empty())
        throw std::runtime_error("cannot write a PNG file");
    return png;
}

std::string IconFile(const std::vector<std::string>& images)
{
    TBytes file;
    file.U16(0).U16(1).U16(static_cast<int>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const std::string& image : images) {
        bool png = image.compare(0, 4, "\x89PNG") == 0;
        char width = png ? 0 : image[4], height = png ? 0 : static_cast<char>(static_cast<unsigned char>(image[8]) / 2);
        file.Raw({width, height, 0, 0}).U16(1).U16(32).U32(static_cast<uint32_t>(image.size())).U32(offset);
        offset += static_cast<uint32_t>(image.size());
    }
    for (const std::string& image : images)
        file.Raw(image);
    return file.Data;
}

std::string Jpeg(const TRgbImage& image, bool grayscale, bool progressive, int quality)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.Width);
    info.image_height = static_cast<JDIMENSION>(image.Height);
    info.input_components = grayscale ? 1 : 3;
    info.in_color_space = grayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.Width) * 3);
    while (info.next_scanline < info.image_height) {
        const uint32_t* in =
            image.Pixels.data() + static_cast<size_t>(info.next_scanline) * static_cast<size_t>(image.Width);
        for (int x = 0; x < image.Width; ++x) {
            uint32_t p = in[x];
            if (grayscale) {
                row[static_cast<size_t>(x)] = static_cast<JSAMPLE>(p & 0xFF);
            } else {
                row[static_cast<size_t>(x) * 3] = static_cast<JSAMPLE>(p >> 16);
                row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(p >> 8);
                row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(p);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<char*>(buffer), size);
    free(buffer);
    return out;
}

TRgbImage Gradient(int width, int height)
{
    TRgbImage image{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * static_cast<size_t>(height))};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t r = static_cast<uint32_t>(x * 255 / width), g = static_cast<uint32_t>(y * 255 / height);
            uint32_t b = static_cast<uint32_t>((x * y / 7) % 256);
            image.Pixels[static_cast<size_t>(y * width + x)] = (r << 16) | (g << 8) | b;
        }
    return image;
}

namespace {

std::string Run(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// A binary PPM (P6) or PGM (P5) with maximum value 255.
TRgbImage ParseNetpbm(const std::string& data)
{
    std::istringstream in(data);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    if ((magic != "P6" && magic != "P5") || maxValue != 255)
        throw std::runtime_error("unexpected reference decoder output");
    int channels = magic == "P6" ? 3 : 1;
    TRgbImage image{width, height, {}};
    std::string pixels = data.substr(static_cast<size_t>(in.tellg()));
    for (size_t i = 0; i + static_cast<size_t>(channels) <= pixels.size(); i += static_cast<size_t>(channels)) {
        auto c = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(pixels[i + k])); };
        image.Pixels.push_back(channels == 3 ? (c(0) << 16 | c(1) << 8 | c(2)) : (c(0) << 16 | c(0) << 8 | c(0)));
    }
    return image;
}

}  // namespace

TRgbImage Djpeg(const std::string& jpeg, const std::string& options)
{
    char path[] = "/tmp/rk-djpeg-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("no temporary file");
    close(fd);
    std::ofstream(path, std::ios::binary) << jpeg;
    std::string out = Run("djpeg -dct float " + options + " " + path);
    unlink(path);
    return ParseNetpbm(out);
}

std::string Wmf(int right, int bottom, int inch, int objects, const std::vector<TWmfRecord>& records)
{
    TBytes body;
    size_t maxWords = 3;
    for (const TWmfRecord& r : records) {
        body.U32(static_cast<uint32_t>(3 + r.Params.size())).U16(r.Function);
        for (int p : r.Params)
            body.U16(p);
        maxWords = std::max(maxWords, 3 + r.Params.size());
    }
    body.U32(3).U16(0);  // META_EOF
    TBytes placeable;
    placeable.U32(0x9AC6CDD7).U16(0).U16(0).U16(0).U16(right).U16(bottom).U16(inch).U32(0);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= static_cast<uint16_t>(static_cast<unsigned char>(placeable.Data[i]) |
                                     static_cast<unsigned char>(placeable.Data[i + 1]) << 8);
    placeable.U16(sum);
    TBytes header;
    header.U16(1).U16(9).U16(0x0300).U32(static_cast<uint32_t>(9 + body.Data.size() / 2)).U16(objects);
    header.U32(static_cast<uint32_t>(maxWords)).U16(0);
    return placeable.Data + header.Data + body.Data;
}

std::vector<int> WmfTextOut(int x, int y, const std::string& sjis)
{
    std::vector<int> params{static_cast<int>(sjis.size())};
    for (size_t i = 0; i < sjis.size(); i += 2) {
        int lo = static_cast<unsigned char>(sjis[i]);
        int hi = i + 1 < sjis.size() ? static_cast<unsigned char>(sjis[i + 1]) : 0;
        params.push_back(lo | hi << 8);
    }
    params.push_back(y);
    params.push_back(x);
    return params;
}

std::string Emf(int width, int height, const std::vector<TEmfRecord>& records, const TEmfBounds* bounds)
{
    TEmfBounds box = bounds ? *bounds : TEmfBounds{0, 0, width - 1, height - 1};
    TBytes body;
    for (const TEmfRecord& r : records) {
        body.U32(r.Type).U32(static_cast<uint32_t>(8 + 4 * r.Params.size()));
        for (uint32_t p : r.Params)
            body.U32(p);
    }
    body.U32(14).U32(20).U32(0).U32(16).U32(20);  // EMR_EOF
    uint32_t frameRight = static_cast<uint32_t>(width * 2540 / 96),
             frameBottom = static_cast<uint32_t>(height * 2540 / 96);
    TBytes header;
    header.U32(1).U32(88);
    for (int v : {box.Left, box.Top, box.Right, box.Bottom})
        header.U32(static_cast<uint32_t>(v));               // bounds, pixels
    header.U32(0).U32(0).U32(frameRight).U32(frameBottom);  // frame, 1/100 mm
    header.U32(0x464D4520).U32(0x10000).U32(static_cast<uint32_t>(88 + body.Data.size()));
    header.U32(static_cast<uint32_t>(records.size() + 2)).U16(4).U16(0).U32(0).U32(0).U32(0);
    header.U32(960).U32(480).U32(254).U32(127);  // a 96 pixels-per-inch reference device
    return header.Data + body.Data;
}

}  // namespace PictureFiles
