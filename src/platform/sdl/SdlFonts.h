// The faces the controls are drawn with, opened once per pixel height and weight.
#pragma once

#include <SDL_ttf.h>

#include <map>
#include <string>
#include <utility>

class TFontCache {
public:
    // Opens the face from the file Debian installs it in, or finds it through fontconfig. Raises
    // Exception when no usable font file is found.
    explicit TFontCache(const std::string& family = "IPAPGothic");
    ~TFontCache();
    TFontCache(const TFontCache&) = delete;
    TFontCache& operator=(const TFontCache&) = delete;

    // The face whose character height (ascent + descent, as Windows means a font's pixel
    // height) is `pixelHeight`, hinted for one-bit drawing.
    TTF_Font* Get(int pixelHeight, bool bold);

    // The width tab stops are counted in: the average width of the Latin letters.
    int AverageCharWidth(int pixelHeight, bool bold);

    const std::string& FilePath() const { return Path; }

private:
    TTF_Font* Open(int pixelHeight, bool bold) const;

    std::string Path;
    std::map<std::pair<int, bool>, TTF_Font*> Fonts;
};

// The font file fontconfig chooses for `family`, or "" when there is none.
std::string MatchFontFile(const std::string& family);
