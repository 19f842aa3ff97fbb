// Where the player keeps its own files in the user's home: the XDG base directories.
#pragma once

#include <string>

enum class TUserFolder {
    Config,  // XDG_CONFIG_HOME, ~/.config
    Data,    // XDG_DATA_HOME, ~/.local/share
    State,   // XDG_STATE_HOME, ~/.local/state
    Cache,   // XDG_CACHE_HOME, ~/.cache
};

// The player's own folder of that kind ("…/zv_rk"), not made here: under the XDG variable when it
// names an absolute path, else under HOME's default place when HOME is absolute; "" when neither.
// A relative path is ignored, as the base-directory rules say: it would be taken from whatever
// folder the player runs in, which is a story's.
std::string UserFolder(TUserFolder kind);

// Writes all of `bytes` to `fd`, again after an interrupted call; false when the system refuses
// (errno says why), as for a full disk.
bool WriteAll(int fd, const std::string& bytes);
