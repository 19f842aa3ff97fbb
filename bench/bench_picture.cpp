// Times the JPEG path of the picture control: the load (header only) and the first paint (the
// whole decode) of a 1920 x 1080 picture made here with the library's compressor.
#include "BenchFigure.h"
#include "platform/graphics/JpegGraphic.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

// Below this a new picture after a click seems to come at once.
constexpr double DecodeGoalMs = 100;

// A picture with detail everywhere, so the entropy decoder has real work (a flat picture would
// flatter the figures).
std::string MakeJpeg(int width, int height, int quality)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    unsigned seed = 12345;
    while (info.next_scanline < info.image_height) {
        int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245 + 12345;
            int noise = static_cast<int>((seed >> 16) & 0x1F);
            row[static_cast<size_t>(x) * 3] = static_cast<JSAMPLE>((x * 255 / width + noise) & 0xFF);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>((y * 255 / height + noise) & 0xFF);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(((x ^ y) + noise) & 0xFF);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s min %8.3f ms   median %8.3f ms   max %8.3f ms\n", what, ms.front(), ms[ms.size() / 2],
                ms.back());
    return ms[ms.size() / 2];
}

}  // namespace

int main()
{
    constexpr int Runs = 15;
    for (int quality : {75, 95}) {
        std::string file = MakeJpeg(1920, 1080, quality);
        std::printf("1920 x 1080 baseline JPEG, quality %d, %zu bytes, %d runs\n", quality, file.size(), Runs);
        std::vector<double> load, paint;
        for (int i = 0; i < Runs; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            TJpegGraphic graphic(file);
            auto t1 = std::chrono::steady_clock::now();
            const TRgbImage& image = graphic.Render();
            auto t2 = std::chrono::steady_clock::now();
            if (image.Pixels.size() != 1920u * 1080u)
                return 1;
            load.push_back(Ms(t1 - t0));
            paint.push_back(Ms(t2 - t1));
        }
        std::string picture = "JPEG 1920 x 1080, quality " + std::to_string(quality);
        PrintFigure(picture + ", load (header), median", Report("load (header)", load), "ms", std::nullopt, 3);
        PrintFigure(picture + ", decode (first paint), median", Report("first paint (decode)", paint), "ms",
                    DecodeGoalMs);
    }
    return 0;
}
