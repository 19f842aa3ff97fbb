// What the page asks of the player while it plays: where the story keeps its slots, for the
// page's export and import of them. The player's own rule answers, so there is one place for it.
#include "platform/Errors.h"
#include "platform/Files.h"

#include <emscripten.h>

#include <string>

#include <unistd.h>

extern "C" EMSCRIPTEN_KEEPALIVE const char* zv_rk_slot_folder()
{
    static std::string folder;
    try {
        const std::string slot = KeptFilePath("save0.dat", false);
        const size_t slash = slot.find_last_of('/');
        if (slash != std::string::npos) {
            folder = slot.substr(0, slash);
        } else {
            // A folder story keeps them beside its script, in the folder the player plays in.
            char here[4096];
            folder = getcwd(here, sizeof here) ? here : "";
        }
    } catch (const std::exception&) {
        folder.clear();  // no place for them: the page says so
    }
    return folder.c_str();
}
