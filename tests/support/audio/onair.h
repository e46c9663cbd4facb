#pragma once
// What is "on air" for the real-audio tests: a tone written as a WAV file and played into the
// null sink "air" of the PulseAudio server the test command starts (its monitor is the default
// input). The player is started directly, never through a shell.

#include <sys/types.h>

#include <string>

namespace zq::testing {

// A 16-bit stereo 44100 Hz WAV file of a tone at 16000 of full scale, in the temporary folder;
// empty when it cannot be written.
std::string WriteToneWav(double seconds, double hz = 1000.0);
// "paplay -d air <file>"; 0 when it cannot be started.
pid_t PlayOnAir(const std::string& file);
// Ends a player (or any child) and reaps it.
void StopChild(pid_t pid);

}  // namespace zq::testing
