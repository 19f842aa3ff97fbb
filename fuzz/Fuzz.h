// What every fuzz target shares: how a broken promise is reported, a story folder of its own to
// work in, and a plan of actions the input decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

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

// The same bytes always give the same plan of clicks, so a crash replays.
std::mt19937 PlanFor(const uint8_t* data, size_t size);

}  // namespace Fuzz
