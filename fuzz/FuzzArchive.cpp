// The archive a story comes in: the input is the archive's file (runs spelled short, Fuzz.h, so
// that a few bytes make a member that inflates to hundreds of megabytes). It is indexed as the
// command line indexes it, and every file of every folder a story could start in is read through
// the story's file lookup within a bound, as pictures and sounds are.
#include "Fuzz.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/StoryArchive.h"

#include <string>

namespace {

constexpr size_t MaxInput = size_t{256} << 20;
constexpr uint64_t ReadBound = uint64_t{1} << 20;
// Each pass may unpack this much: enough to pass the bound of a read a few times over.
constexpr uint64_t WorkBytes = uint64_t{64} << 20;

std::string ArchivePath;

// Reads every file of `folder` of the story and the folders below it, a few levels down.
void ReadAll(const std::string& folder, int depth)
{
    TStoryArchive& archive = *PlayedArchive();
    for (const std::string& name : archive.EntriesOf(folder)) {
        const std::string path = folder.empty() ? name : folder + "/" + name;
        const TEntryKind kind = archive.KindOf(path);
        Fuzz::Require(kind != TEntryKind::Missing, "a name listed in a folder is missing");
        if (kind == TEntryKind::Folder && depth < 4)
            ReadAll(path, depth + 1);
        if (kind != TEntryKind::File)
            continue;
        try {
            TStoryFile file(path, ReadBound);
            const std::optional<std::string> bytes = file.ReadRest();
            Fuzz::Require(!bytes || bytes->size() <= ReadBound, "a member read past its bound");
            Fuzz::Require(bytes.has_value() == (file.Refusal() == TFileRefusal::None), "a refusal with bytes");
        } catch (const EInOutError&) {
            // A damaged member: reported as a damaged file is.
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::EnterStoryFolder(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Fuzz::TExpandedInput input(data, size, MaxInput);
    Fuzz::WriteFile("story.arc", std::string(input.View()));
    TArchiveProblem problem;
    PlayFromArchive(TStoryArchive::Open("story.arc", problem, WorkBytes));
    if (PlayedArchive()) {
        for (const std::string& folder : PlayedArchive()->UpperFolders()) {
            PlayedArchive()->EnterFolder(folder);
            ReadAll("", 0);
        }
    }
    PlayFromArchive(nullptr);
    return 0;
}
