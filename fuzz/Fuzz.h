// What every fuzz target shares: how a broken promise is reported, a story folder of its own to
// work in, and a plan of actions the input decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace Fuzz {

// Reports a broken promise of the code under test and aborts, which libFuzzer records as a crash
// with the input that led to it.
[[noreturn]] void Fail(const std::string& what);
inline void Require(bool ok, const std::string& what)
{
    if (!ok)
        Fail(what);
}

// Makes a new folder in memory (/dev/shm, else the system's temporary folder) the current
// directory for the rest of the process, removed when the process ends normally; with the `dat`
// folder of the story at `copyFrom` in it when one is given. Called from LLVMFuzzerInitialize with
// its arguments, whose paths it makes absolute first (crashing inputs are kept in the folder the
// target was started in, unless -artifact_prefix says otherwise).
void EnterStoryFolder(int* argc, char*** argv, const std::string& copyFrom = "");
// Writes `bytes` to a file of the story folder (folders made as needed).
void WriteFile(const std::string& relative, const std::string& bytes);
void RemoveFile(const std::string& relative);
// The whole of a file.
std::string ReadFile(const std::string& path);

// An input with runs spelled short, so that an input of a few bytes can be as long as the files
// that unpack from a small zip: "\xF5\xF5", a byte k, a byte n (1 to 4) and n bytes of pattern
// stand for the pattern repeated 2^(k % 32) times. The whole is cut at `limit` bytes, a run of other
// bytes than zeros at a 32nd of that. Runs of zeros take no memory (they are pages never written),
// so a decoder sees sizes of hundreds of megabytes that cost nothing until it reads them.
class TExpandedInput {
public:
    TExpandedInput(const uint8_t* data, size_t size, size_t limit);
    ~TExpandedInput();
    TExpandedInput(const TExpandedInput&) = delete;
    TExpandedInput& operator=(const TExpandedInput&) = delete;
    std::string_view View() const { return {Memory, Size}; }

private:
    char* Memory = nullptr;
    size_t Size = 0, Mapped = 0;
};

// The same bytes always give the same plan of clicks, so a crash replays.
std::mt19937 PlanFor(const uint8_t* data, size_t size);

}  // namespace Fuzz
