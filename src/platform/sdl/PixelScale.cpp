#include "platform/sdl/PixelScale.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

TFrameLayout CentredLayout(int frameW, int frameH, int windowW, int windowH, int scale)
{
    TFrameLayout layout;
    layout.Scale = std::max(1, scale);
    // 64-bit: the margin of a huge scale must not overflow before it is halved.
    layout.Left = int((int64_t{windowW} - int64_t{frameW} * layout.Scale) / 2);
    layout.Top = int((int64_t{windowH} - int64_t{frameH} * layout.Scale) / 2);
    return layout;
}

int LargestFittingScale(int frameW, int frameH, int width, int height)
{
    if (frameW <= 0 || frameH <= 0)
        return 1;
    return std::max(1, std::min(width / frameW, height / frameH));
}

SDL_Rect PresentScaled(SDL_Surface* frame, SDL_Surface* target, const TFrameLayout& layout, const SDL_Rect* area)
{
    const int bpp = target->format->BytesPerPixel;
    if (frame->format->format != target->format->format || bpp < 1 || bpp > 4)
        return {0, 0, 0, 0};
    const int n = layout.Scale;
    // The frame's box on the target (or the part of it that `area` covers), clipped; with no
    // area, what is left of the target is margin.
    SDL_Rect part{0, 0, frame->w, frame->h};
    if (area && !SDL_IntersectRect(area, &part, &part))
        return {0, 0, 0, 0};
    const int64_t boxLeft = layout.Left, boxTop = layout.Top;
    const int left = int(std::clamp<int64_t>(boxLeft + int64_t{part.x} * n, 0, target->w));
    const int right = int(std::clamp<int64_t>(boxLeft + int64_t{part.x + part.w} * n, 0, target->w));
    const int top = int(std::clamp<int64_t>(boxTop + int64_t{part.y} * n, 0, target->h));
    const int bottom = int(std::clamp<int64_t>(boxTop + int64_t{part.y + part.h} * n, 0, target->h));
    if (!area) {
        const Uint32 black = SDL_MapRGB(target->format, 0, 0, 0);
        SDL_Rect margins[] = {{0, 0, target->w, top},
                              {0, bottom, target->w, target->h - bottom},
                              {0, top, left, bottom - top},
                              {right, top, target->w - right, bottom - top}};
        for (const SDL_Rect& margin : margins)
            if (margin.w > 0 && margin.h > 0)
                SDL_FillRect(target, &margin, black);
    }
    if (left >= right || top >= bottom)
        return area ? SDL_Rect{0, 0, 0, 0} : SDL_Rect{0, 0, target->w, target->h};

    if (SDL_MUSTLOCK(frame))
        SDL_LockSurface(frame);
    if (SDL_MUSTLOCK(target))
        SDL_LockSurface(target);
    auto* const targetPixels = static_cast<uint8_t*>(target->pixels);
    const auto* const framePixels = static_cast<const uint8_t*>(frame->pixels);
    const size_t rowBytes = size_t(right - left) * size_t(bpp);
    // Each frame row is widened once into the first target row of its block, then copied down.
    for (int y = top; y < bottom;) {
        const int frameY = int((y - boxTop) / n);
        const int blockEnd = int(std::min<int64_t>(boxTop + int64_t{frameY + 1} * n, bottom));
        const uint8_t* from = framePixels + size_t(frameY) * size_t(frame->pitch);
        uint8_t* first = targetPixels + size_t(y) * size_t(target->pitch) + size_t(left) * size_t(bpp);
        if (bpp == 4) {
            auto* out = reinterpret_cast<uint32_t*>(first);
            const auto* in = reinterpret_cast<const uint32_t*>(from);
            for (int x = left; x < right; ++x)
                *out++ = in[(x - boxLeft) / n];
        } else {
            uint8_t* out = first;
            for (int x = left; x < right; ++x, out += bpp)
                std::memcpy(out, from + size_t((x - boxLeft) / n) * size_t(bpp), size_t(bpp));
        }
        for (int row = y + 1; row < blockEnd; ++row)
            std::memcpy(targetPixels + size_t(row) * size_t(target->pitch) + size_t(left) * size_t(bpp), first,
                        rowBytes);
        y = blockEnd;
    }
    if (SDL_MUSTLOCK(target))
        SDL_UnlockSurface(target);
    if (SDL_MUSTLOCK(frame))
        SDL_UnlockSurface(frame);
    if (area)
        return {left, top, right - left, bottom - top};
    return {0, 0, target->w, target->h};
}

SDL_Rect ChangedBox(SDL_Surface* before, SDL_Surface* after)
{
    if (before->w != after->w || before->h != after->h || before->format->format != after->format->format)
        return {0, 0, after->w, after->h};
    const size_t bpp = after->format->BytesPerPixel;
    int left = after->w, right = -1, top = after->h, bottom = -1;
    for (int y = 0; y < after->h; ++y) {
        const auto* a = static_cast<const uint8_t*>(before->pixels) + size_t(y) * size_t(before->pitch);
        const auto* b = static_cast<const uint8_t*>(after->pixels) + size_t(y) * size_t(after->pitch);
        if (std::memcmp(a, b, size_t(after->w) * bpp) == 0)
            continue;
        top = std::min(top, y);
        bottom = y;
        for (int x = 0; x < after->w; ++x)
            if (std::memcmp(a + size_t(x) * bpp, b + size_t(x) * bpp, bpp) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    }
    if (bottom < 0)
        return {0, 0, 0, 0};
    return {left, top, right - left + 1, bottom - top + 1};
}

SDL_Surface* ResizeNearest(SDL_Surface* source, int width, int height)
{
    SDL_Surface* from = SDL_ConvertSurfaceFormat(source, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!from)
        return nullptr;
    SDL_Surface* to = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (to) {
        for (int y = 0; y < height; ++y) {
            // The source pixel under the centre of each target pixel.
            const int64_t sy = (int64_t{2 * y + 1} * from->h) / (2 * int64_t{height});
            auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(to->pixels) + size_t(y) * size_t(to->pitch));
            const auto* in = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(from->pixels) +
                                                               size_t(sy) * size_t(from->pitch));
            for (int x = 0; x < width; ++x)
                out[x] = in[(int64_t{2 * x + 1} * from->w) / (2 * int64_t{width})];
        }
    }
    SDL_FreeSurface(from);
    return to;
}
