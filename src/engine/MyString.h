#pragma once

#include "platform/CheckedArray.h"

#include <string>

// A field array: 16 string slots.
constexpr int FieldSlots = 16;
using TFields = TCheckedArray<std::string>;

// A field array of FieldSlots empty strings.
TFields MakeFields();

// Cuts `s` at every occurrence of `sep` (on character boundaries) into fields[0..high].
// The separator is appended to `s` first, so the last field is always closed and even an empty
// string gives one field. More fields than slots raise the range error; the fields stored
// before that stay stored.
void Split(const std::string& s, const std::string& sep, TFields& fields, int high);
