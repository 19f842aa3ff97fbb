#include "engine/UnitRK.h"

namespace UnitRK {

// Filled in with the save-slot work.
void SaveSlot(int) {}
void LoadSlot(int) {}

}  // namespace UnitRK
