#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>

#include <unistd.h>

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

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}
