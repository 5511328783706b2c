#pragma once
// Short tones and chirps of our own, written as 16-bit PCM mono WAVE files: the program's
// wave resources (button clicks, countdown ticks, the message-box chime and the table's
// effects), so the client carries no third-party sound.
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::assetgen {

constexpr int kSampleRate = 22050;

struct Tone {
    double startHz;  // frequency at the start...
    double endHz;    // ...and at the end (a sweep), or of the second note
    int ms;          // length
    bool twoNotes;   // first half at startHz, second half at endHz, instead of a sweep
    double decay;    // how fast the loudness falls off (per second); 0 keeps it level
};

// The wave resources: each id with its tone. Ids 29000 to 29015 and 29100 to 29108.
struct WaveResource {
    int id;
    Tone tone;
};
const std::vector<WaveResource>& waveResources();

// 16-bit signed samples of one tone at kSampleRate.
std::vector<int16_t> synthesize(const Tone& tone);

// A complete RIFF/WAVE file (44-byte header, PCM, mono, 16 bits) around the samples.
std::string waveFile(const std::vector<int16_t>& samples, int sampleRate = kSampleRate);

}  // namespace hqlv::assetgen
