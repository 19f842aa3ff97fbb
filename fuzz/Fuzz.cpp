#include "Fuzz.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/mman.h>
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

constexpr std::string_view RunMarker = "\xF5\xF5";

// One piece of an expanded input: literal bytes, or a pattern repeated.
struct TPiece {
    std::string_view Pattern;
    size_t Bytes = 0;  // the pattern repeated (or the literal cut) to this many
};

// The input's pieces, each cut so that the whole stays within `limit`.
std::vector<TPiece> Pieces(std::string_view in, size_t limit)
{
    std::vector<TPiece> pieces;
    size_t total = 0;
    const auto add = [&](std::string_view pattern, size_t bytes) {
        bytes = std::min(bytes, limit - total);
        pieces.push_back({pattern, bytes});
        total += bytes;
    };
    for (size_t at = 0; at < in.size() && total < limit;) {
        const size_t marker = std::min(in.find(RunMarker, at), in.size());
        if (marker > at)
            add(in.substr(at, marker - at), marker - at);
        at = marker;
        if (in.size() - at < 4) {
            add(in.substr(at), in.size() - at);
            break;
        }
        const size_t n = std::clamp<size_t>(static_cast<unsigned char>(in[at + 3]), 1, 4);
        const std::string_view pattern = in.substr(at + 4, n);
        const bool zeros = pattern.find_first_not_of('\0') == std::string_view::npos;
        const size_t repeats = size_t{1} << (static_cast<unsigned char>(in[at + 2]) % 32);
        add(pattern, std::min(repeats * pattern.size(), zeros ? limit : limit / 32));
        at += 4 + pattern.size();
    }
    return pieces;
}

}  // namespace

TExpandedInput::TExpandedInput(const uint8_t* data, size_t size, size_t limit)
{
    const std::vector<TPiece> pieces = Pieces(std::string_view(reinterpret_cast<const char*>(data), size), limit);
    for (const TPiece& piece : pieces)
        Size += piece.Bytes;
    Mapped = std::max<size_t>(Size, 1);
    void* memory = mmap(nullptr, Mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        Fail("no address space for an expanded input");
    Memory = static_cast<char*>(memory);
    char* out = Memory;
    for (const TPiece& piece : pieces) {
        const bool zeros = piece.Pattern.find_first_not_of('\0') == std::string_view::npos;
        for (size_t i = 0; !zeros && i < piece.Bytes; i += piece.Pattern.size())
            std::memcpy(out + i, piece.Pattern.data(), std::min(piece.Pattern.size(), piece.Bytes - i));
        out += piece.Bytes;
    }
}

TExpandedInput::~TExpandedInput() { munmap(Memory, Mapped); }

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
