#include "tools/assetgen/wave_synth.h"

#include <algorithm>
#include <cmath>

namespace hqlv::assetgen {

const std::vector<WaveResource>& waveResources() {
    static const std::vector<WaveResource> kList = {
        // Countdown: "n seconds left", higher and shorter as time runs out; 0 is a low buzz.
        {29000, {440, 330, 320, false, 6}},
        {29001, {1320, 1320, 90, false, 20}},
        {29002, {1240, 1240, 90, false, 20}},
        {29003, {1160, 1160, 90, false, 20}},
        {29004, {1080, 1080, 90, false, 20}},
        {29005, {1000, 1000, 90, false, 20}},
        {29006, {520, 780, 160, false, 8}},
        {29007, {780, 520, 160, false, 8}},
        {29008, {600, 900, 220, true, 6}},
        {29009, {900, 600, 220, true, 6}},
        // Click.
        {29010, {2000, 1600, 40, false, 60}},
        {29011, {700, 1400, 180, false, 8}},
        // Someone calls the player; the player's own call.
        {29012, {660, 880, 360, true, 4}},
        {29013, {880, 1320, 200, false, 8}},
        // Message-box chime.
        {29014, {880, 660, 380, true, 5}},
        {29015, {500, 1000, 260, true, 5}},
        // Table effects: tile picked, tiles laid, discard, flower, sorting and others.
        {29100, {1500, 1500, 45, false, 50}},
        {29101, {300, 250, 110, false, 25}},
        {29102, {400, 800, 240, true, 7}},
        {29103, {220, 160, 120, false, 25}},
        {29104, {600, 1800, 200, false, 6}},
        {29105, {1800, 600, 200, false, 6}},
        {29106, {350, 700, 300, true, 4}},
        {29107, {700, 350, 300, true, 4}},
        {29108, {900, 1700, 140, false, 12}},
    };
    return kList;
}

std::vector<int16_t> synthesize(const Tone& tone) {
    const int frames = std::max(1, kSampleRate * tone.ms / 1000);
    const int attack = std::max(1, kSampleRate * 4 / 1000);   // 4 ms, no click at the start
    const int release = std::max(1, kSampleRate * 8 / 1000);  // 8 ms, none at the end
    std::vector<int16_t> out(static_cast<size_t>(frames));
    double phase = 0;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / kSampleRate;
        const double along = double(i) / frames;
        double hz;
        if (tone.twoNotes)
            hz = along < 0.5 ? tone.startHz : tone.endHz;
        else
            hz = tone.startHz + (tone.endHz - tone.startHz) * along;
        phase += 2 * M_PI * hz / kSampleRate;
        double level = std::exp(-tone.decay * t);
        if (tone.twoNotes && along >= 0.5) level = std::exp(-tone.decay * (t - tone.ms / 2000.0));
        level *= std::min(1.0, double(i) / attack);
        level *= std::min(1.0, double(frames - 1 - i) / release);
        // A touch of the second harmonic makes the tones less bare.
        const double v = 0.8 * std::sin(phase) + 0.2 * std::sin(2 * phase);
        out[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(v * level * 16000));
    }
    return out;
}

namespace {
void put16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
}  // namespace

std::string waveFile(const std::vector<int16_t>& samples, int sampleRate) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string s;
    s.reserve(44 + dataBytes);
    s += "RIFF";
    put32(s, 36 + dataBytes);
    s += "WAVE";
    s += "fmt ";
    put32(s, 16);  // format chunk size
    put16(s, 1);   // PCM
    put16(s, 1);   // mono
    put32(s, static_cast<uint32_t>(sampleRate));
    put32(s, static_cast<uint32_t>(sampleRate) * 2);  // bytes per second
    put16(s, 2);                                      // bytes per frame
    put16(s, 16);                                     // bits per sample
    s += "data";
    put32(s, dataBytes);
    for (int16_t v : samples) put16(s, static_cast<uint16_t>(v));
    return s;
}

}  // namespace hqlv::assetgen
