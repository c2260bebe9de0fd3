#pragma once
// One fuzz input: a journal and a left-behind movie (and a sound file's start) as a crash or a
// hostile disk may leave them. False when the rebuilt movie does not read back with the frames
// that were matched, each on its slot, or when the program's reader of movies finds a chunk
// outside the movie.
#include <cstddef>
#include <cstdint>

bool RecoverFuzzedFiles(const std::uint8_t* data, std::size_t size);
