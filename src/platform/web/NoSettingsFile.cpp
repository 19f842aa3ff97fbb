#include <ini.h>

// Nothing is read: the page starts from the player's defaults at every visit.
int ini_parse_string(const char*, ini_handler, void*) { return 0; }
