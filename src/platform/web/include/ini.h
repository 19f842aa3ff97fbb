// The settings reader's interface (inih), for the web page, which keeps no settings file: the
// page's own controls hold the view (NoSettingsFile.cpp).
#pragma once

extern "C" {
typedef int (*ini_handler)(void* user, const char* section, const char* name, const char* value);
int ini_parse_string(const char* string, ini_handler handler, void* user);
}
