#pragma once

#include <cstdint>
#include <functional>

// Told after each piece of a track file read, with the bytes read so far and
// the file's length; returns false to stop reading (the user's Cancel). An
// empty function reads to the end.
using CLoadProgress = std::function<bool(uint64_t nRead, uint64_t nSize)>;
