// The millisecond clock: a 32-bit count that wraps about every 49.7 days, so callers take
// differences in 32-bit arithmetic.
#pragma once

#include <cstdint>

uint32_t TimeGetTime();
