// The sample game's sounds, synthesised with integer arithmetic: the looped
// music of the story, a chime effect and a voice line, and the tutorial
// game's tune, written as Ogg Vorbis (through the sound library's encoder,
// with a fixed stream serial) and RIFF WAVE. A build tool on one thread;
// writes only under outDir.
#pragma once

#include <filesystem>

// False, after a message on standard error, when a file cannot be written.
bool WriteSampleSounds(const std::filesystem::path& outDir);
// The tutorial game's music: a four-second tune without loop points.
bool WriteTutorialSounds(const std::filesystem::path& outDir);
