#include "JpegDecoder.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jerror.h>
#include <jpeglib.h>

namespace JpegDecoder {
namespace {

// The picture control's palette size when it quantises: the 256 system colours less the 20
// Windows reserves.
constexpr int QuantisedColours = 236;

struct TErrorManager {
    jpeg_error_mgr Pub;  // first member: libjpeg hands us a pointer to it
    std::jmp_buf Jump;
    int Code;
};

// Plain functions with no objects to destroy, so longjmp may leave them.
void ExitByJump(j_common_ptr info)
{
    auto* manager = reinterpret_cast<TErrorManager*>(info->err);
    manager->Code = info->err->msg_code;
    std::longjmp(manager->Jump, 1);
}

// Warnings and trace output are of no use to the player: a damaged body still shows.
void DiscardMessage(j_common_ptr, int) {}
void DiscardOutput(j_common_ptr) {}

void InstallErrorManager(jpeg_decompress_struct& info, TErrorManager& manager)
{
    info.err = jpeg_std_error(&manager.Pub);
    manager.Pub.error_exit = ExitByJump;
    manager.Pub.emit_message = DiscardMessage;
    manager.Pub.output_message = DiscardOutput;
    manager.Code = 0;
}

// Each scan of a progressive picture is a pass over all of it, and nothing bounds how many a file
// holds: a few megabytes of empty scans would keep the first paint busy for minutes. Real pictures
// have about ten; one with more than this fails as a damaged picture does.
constexpr int MaxScans = 500;

void CountScans(j_common_ptr common)
{
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > MaxScans) {
        info->err->msg_code = JERR_BAD_PROGRESSION;
        info->err->error_exit(common);
    }
}

void OpenMemory(jpeg_decompress_struct& info, const std::string& file)
{
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.data()), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
}

void ChooseOutput(jpeg_decompress_struct& info)
{
    info.dct_method = JDCT_FLOAT;
    info.do_fancy_upsampling = TRUE;
    info.do_block_smoothing = TRUE;
    if (info.out_color_space == JCS_GRAYSCALE) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = QuantisedColours;
        info.two_pass_quantize = TRUE;  // the library falls back to one pass for a single component
        info.dither_mode = JDITHER_FS;
    } else {
        info.out_color_space = JCS_RGB;
    }
}

uint32_t Rgb(unsigned r, unsigned g, unsigned b) { return (r << 16) | (g << 8) | b; }

// One output row into 0x00RRGGBB; indexed rows go through the library's colour map.
void StoreRow(const jpeg_decompress_struct& info, const JSAMPLE* row, uint32_t* out)
{
    JDIMENSION width = info.output_width;
    if (info.quantize_colors) {
        for (JDIMENSION x = 0; x < width; ++x) {
            int index = row[x];
            if (info.out_color_components == 1) {
                unsigned grey = info.colormap[0][index];
                out[x] = Rgb(grey, grey, grey);
            } else {
                out[x] = Rgb(info.colormap[0][index], info.colormap[1][index], info.colormap[2][index]);
            }
        }
        return;
    }
    for (JDIMENSION x = 0; x < width; ++x, row += 3)
        out[x] = Rgb(row[0], row[1], row[2]);
}

}  // namespace

TResult ReadSize(const std::string& file, int& width, int& height)
{
    jpeg_decompress_struct info{};
    TErrorManager manager;
    InstallErrorManager(info, manager);
    if (setjmp(manager.Jump)) {
        jpeg_destroy_decompress(&info);
        return manager.Code;
    }
    OpenMemory(info, file);
    width = static_cast<int>(info.image_width);
    height = static_cast<int>(info.image_height);
    jpeg_destroy_decompress(&info);
    return 0;
}

TResult Decode(const std::string& file, TRgbImage& image)
{
    jpeg_decompress_struct info{};
    TErrorManager manager;
    InstallErrorManager(info, manager);
    if (setjmp(manager.Jump)) {
        jpeg_destroy_decompress(&info);
        return manager.Code;
    }
    OpenMemory(info, file);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = CountScans;
    info.progress = &progress;  // after the library's set-up, which clears it
    ChooseOutput(info);
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * static_cast<JDIMENSION>(info.output_components), 1);
    while (info.output_scanline < info.output_height) {
        JDIMENSION y = info.output_scanline;
        if (jpeg_read_scanlines(&info, row, 1) != 1)
            break;  // the memory source never suspends; guard against a loop all the same
        // The same bytes gave the header the caller sized `image` by; check all the same.
        if (static_cast<int>(y) < image.Height && static_cast<int>(info.output_width) == image.Width)
            StoreRow(info, row[0], image.Pixels.data() + static_cast<size_t>(y) * info.output_width);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return 0;
}

}  // namespace JpegDecoder
