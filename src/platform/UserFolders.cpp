#include "platform/UserFolders.h"

#include <cstdlib>

namespace {

struct TBase {
    const char* Variable;
    const char* UnderHome;
};

TBase BaseOf(TUserFolder kind)
{
    switch (kind) {
    case TUserFolder::Data:
        return {"XDG_DATA_HOME", "/.local/share"};
    case TUserFolder::State:
        return {"XDG_STATE_HOME", "/.local/state"};
    case TUserFolder::Cache:
        return {"XDG_CACHE_HOME", "/.cache"};
    case TUserFolder::Config:
        break;
    }
    return {"XDG_CONFIG_HOME", "/.config"};
}

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

}  // namespace

std::string UserFolder(TUserFolder kind)
{
    TBase base = BaseOf(kind);
    if (const char* set = std::getenv(base.Variable); IsAbsolute(set))
        return std::string(set) + "/zv_rk";
    if (const char* home = std::getenv("HOME"); IsAbsolute(home))
        return std::string(home) + base.UnderHome + "/zv_rk";
    return "";
}
