#include "ui/LastStory.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string PlayedStoryPath(const std::string& given)
{
    std::error_code ec;
    if (PlayedArchive())
        return fs::absolute(given, ec).lexically_normal().string();
    return fs::current_path(ec).string();
}

bool RememberStory(TSettings& settings, const std::string& path, std::string& problem)
{
    problem.clear();
    std::optional<std::string> remembered;
    if (StorableStoryPath(path))
        remembered = path;
    if (settings.LastStory == remembered)
        return true;
    settings.LastStory = remembered;
    return SaveSettings(SettingsPath(), settings, problem);
}

std::optional<int> TakeLastStory(const TSettings& settings, TCommandLine& line, std::ostream& err)
{
    if (!settings.LastStory) {
        err << "zv_rk: --last: no story has been played yet\n";
        return 2;
    }
    std::error_code ec;
    if (!fs::exists(*settings.LastStory, ec)) {
        err << "zv_rk: --last: " << Printable(*settings.LastStory) << ": no longer there\n";
        return 2;
    }
    line.Story = *settings.LastStory;
    return std::nullopt;
}
