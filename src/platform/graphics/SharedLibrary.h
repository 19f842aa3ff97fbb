// A library opened when a picture first needs it instead of linked into the program, so that a
// format the story never shows costs its start nothing.
#pragma once

#include <mutex>
#include <string>

class TSharedLibrary {
public:
    // Nothing is opened yet. `pictures` and `package` name, in an error, what cannot be drawn
    // and the Debian package that brings `soname`.
    TSharedLibrary(std::string soname, std::string pictures, std::string package);
    // The library stays loaded for the life of the program: libraries built on glib do not
    // unload cleanly.
    ~TSharedLibrary() = default;
    TSharedLibrary(const TSharedLibrary&) = delete;
    TSharedLibrary& operator=(const TSharedLibrary&) = delete;

    // The function `name` of the library or of those it brings, opening the library on the first
    // call. Raises EMissingLibrary, with the loader's reason, when the library cannot be opened or
    // lacks the function: the picture that needed it is reported, the program goes on.
    template <typename F>
    F Function(const char* name)
    {
        return reinterpret_cast<F>(Address(name));
    }

private:
    void* Address(const char* name);

    std::string Soname, Pictures, Package;
    std::mutex Lock;
    void* Handle = nullptr;
};
