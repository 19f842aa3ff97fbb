// A picture loader up to its first paint: the input is a picture file named by the script's
// "#Cg", in the format RK_PICTURE_EXTENSION names, loaded and drawn in the real window as the
// story's first step shows it. A picture that loads has its pixels all there: as many as its size
// says (or, for one too large to keep whole, as its part inside it says), whatever the decoding
// met on the way.
#include "FuzzWindow.h"

#include "platform/ShiftJis.h"

#include <string>

namespace {

const std::string PictureFile = std::string("pic.") + RK_PICTURE_EXTENSION;
Fuzz::TWindow* Window = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::EnterStoryFolder(argc, argv);
    Fuzz::WriteFile("dat/1.txt", "#Cg " + PictureFile + "\r\n" + Sjis::FromUtf8("絵です。") + "\r\n");
    Window = new Fuzz::TWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::WriteFile("dat/" + PictureFile, std::string(reinterpret_cast<const char*>(data), size));
    Window->Start();
    if (const auto& picture = Window->Form->Image1.Picture()) {
        const TRgbImage& pixels = picture->Render();  // decoded by the paint; what it left
        Fuzz::Require(pixels.Left >= 0 && pixels.Top >= 0 && pixels.Width >= 0 && pixels.Height >= 0 &&
                          int64_t{pixels.Left} + pixels.Width <= picture->Width() &&
                          int64_t{pixels.Top} + pixels.Height <= picture->Height() &&
                          pixels.Pixels.size() == size_t(pixels.Width) * size_t(pixels.Height),
                      "a picture's pixels do not fill the size it gives");
    }
    Window->RunTimers();  // the next line of text over it
    return 0;
}
