#include "Fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace Fuzz {

namespace {

std::string StoryFolder;

void RemoveStoryFolder()
{
    if (StoryFolder.empty())
        return;
    std::error_code ec;
    fs::current_path("/", ec);
    fs::remove_all(StoryFolder, ec);
}

// libFuzzer reads its arguments after this process has moved into the story folder, and writes a
// crashing input where it was started: the paths it is given, and the place of crashing inputs,
// are made absolute first.
void KeepPathsAbsolute(int* argc, char*** argv)
{
    static std::vector<std::string> args;
    static std::vector<char*> pointers;
    const std::string here = fs::current_path().string() + "/";
    const char* pathFlags[] = {
        "-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-features_dir=", "-merge_control_file="};
    bool artifactPrefix = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (i > 0 && !arg.starts_with("-") && !arg.starts_with("/")) {
            arg = here + arg;
        } else {
            for (const char* flag : pathFlags) {
                const std::string name = flag;
                if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] != '/')
                    arg = name + here + arg.substr(name.size());
                artifactPrefix = artifactPrefix || arg.starts_with("-artifact_prefix=");
            }
        }
        args.push_back(arg);
    }
    if (!artifactPrefix)
        args.push_back("-artifact_prefix=" + here);
    for (std::string& arg : args)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(args.size());
    *argv = pointers.data();
}

}  // namespace

void Fail(const std::string& what)
{
    std::fprintf(stderr, "zv_rk fuzz: %s\n", what.c_str());
    std::abort();
}

void EnterStoryFolder(int* argc, char*** argv, const std::string& copyFrom)
{
    KeepPathsAbsolute(argc, argv);
    // Saves are flushed to the disk: in memory that costs nothing, on a disk it would be most of
    // the time of an input.
    std::error_code ec;
    std::string parent = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : fs::temp_directory_path(ec).string();
    std::string base = parent + "/rk-fuzz-XXXXXX";
    if (!mkdtemp(base.data()))
        Fail("cannot make a story folder in " + parent);
    StoryFolder = base;
    std::atexit(RemoveStoryFolder);
    if (!copyFrom.empty())
        fs::copy(copyFrom + "/dat", StoryFolder + "/dat", fs::copy_options::recursive);
    fs::current_path(StoryFolder);
}

void WriteFile(const std::string& relative, const std::string& bytes)
{
    fs::path path(relative);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void RemoveFile(const std::string& relative)
{
    std::error_code ec;
    fs::remove(relative, ec);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::mt19937 PlanFor(const uint8_t* data, size_t size)
{
    uint32_t hash = 2166136261u;  // FNV-1a
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return std::mt19937(hash);
}

}  // namespace Fuzz
