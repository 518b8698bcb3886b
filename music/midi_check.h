// Structural check of a Standard MIDI File. SDL2_mixer's FluidSynth backend accepts
// any bytes when a MIDI tune is opened and only fails, silently, once it plays; the
// player runs this check at open so that a damaged tune is reported there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Empty when `data` is a well-formed MIDI file (plain, or wrapped in a RIFF "RMID"
// container); otherwise a short description of the first fault found.
std::string FindMidiFault(const std::vector<std::uint8_t>& data);
