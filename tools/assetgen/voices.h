#pragma once
// The seats' voices and the table music. Voices are spoken at build time by espeak-ng (the
// Debian package): four folders under sound/, named so that a sorted listing puts them in
// order: "0fy" and "1fy" in Cantonese ("yue", the dialect), "0pt" and "1pt" in standard
// Mandarin ("cmn"), voice kind 0 at a lower pitch and kind 1 at a higher one. Each folder
// holds the claim words (peng0 ... hua1) and the tile names by sort key (1-9, 11-19, 21-29,
// 31-37), as WAVE files trimmed to at most kMaxVoiceMs. The music is a short tune of our
// own, written as WAVE bytes under the name the scene opens (the player goes by content).
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/table_art.h"

namespace hqlv::assetgen {

constexpr int kMaxVoiceMs = 600;
constexpr int kTuneSeconds = 10;

struct VoiceFolder {
    const char* name;   // "0fy", ...
    const char* voice;  // espeak-ng voice
    int pitch;          // espeak-ng pitch 0-99
};
const std::vector<VoiceFolder>& VoiceFolders();

// Each file name of a voice folder (without ".wav") with the words it speaks (UTF-8).
struct VoiceWord {
    std::string file;
    std::string words;
};
const std::vector<VoiceWord>& VoiceWords();

// The samples of a WAVE file's data chunk (16-bit mono expected); empty when the bytes are
// no such file.
std::vector<int16_t> WaveSamples(const std::string& bytes, int* sampleRate = nullptr);

// The spoken part of the samples: leading and trailing quiet cut, at most kMaxVoiceMs long,
// faded out over its last milliseconds when it had to be cut.
std::vector<int16_t> TrimVoice(const std::vector<int16_t>& samples, int sampleRate);

// Runs espeak-ng for one word into a WAVE file's bytes (trimmed); empty on failure, with a
// line on stderr.
std::string SpeakWord(const VoiceFolder& folder, const std::string& words);

// Every voice file (sound/<folder>/<name>.wav) and the tune (sound/Classic/default.mp3).
// False when espeak-ng fails; what was made so far is in out.
bool VoiceFiles(std::vector<ArtFile>& out);
std::string TuneFile();

}  // namespace hqlv::assetgen
