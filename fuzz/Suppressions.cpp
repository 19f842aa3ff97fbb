// Leaks LeakSanitizer is not to report, linked into every fuzz target: memory that system
// libraries take and never give back. Those libraries are built without frame pointers, so a
// leak's recorded stack ends inside them and only the library can be named, not its function:
// a leak of ours made through one of these libraries would be hidden too.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";  // its configuration, read once
}
