#include "tools/assetgen/voices.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tools/assetgen/wave_synth.h"

namespace hqlv::assetgen {

const std::vector<VoiceFolder>& VoiceFolders() {
    static const std::vector<VoiceFolder> list = {
        {"0fy", "yue", 30}, {"0pt", "cmn", 30}, {"1fy", "yue", 75}, {"1pt", "cmn", 75}};
    return list;
}

const std::vector<VoiceWord>& VoiceWords() {
    static const std::vector<VoiceWord> list = [] {
        std::vector<VoiceWord> v = {{"peng0", "碰"},   {"peng1", "碰了"}, {"gang0", "杠"},
                                    {"gang1", "杠了"}, {"gang2", "开杠"}, {"chi0", "吃"},
                                    {"chi1", "吃了"},  {"hu0", "胡了"},   {"hu1", "胡"},
                                    {"hua0", "补花"},  {"hua1", "花"}};
        static const char* const numerals[] = {"一", "二", "三", "四", "五",
                                               "六", "七", "八", "九"};
        static const char* const suits[] = {"万", "条", "筒"};
        for (int s = 0; s < 3; ++s)
            for (int n = 1; n <= 9; ++n)
                v.push_back({std::to_string(s * 10 + n), std::string(numerals[n - 1]) + suits[s]});
        static const char* const honours[] = {"东风", "南风", "西风", "北风",
                                              "红中", "发财", "白板"};
        for (int n = 1; n <= 7; ++n) v.push_back({std::to_string(30 + n), honours[n - 1]});
        return v;
    }();
    return list;
}

namespace {

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

}  // namespace

std::vector<int16_t> WaveSamples(const std::string& b, int* sampleRate) {
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return {};
    size_t at = 12;
    int rate = 0;
    while (at + 8 <= b.size()) {
        const uint32_t size = Le32(b, at + 4);
        const size_t body = at + 8;
        if (b.compare(at, 4, "fmt ") == 0 && size >= 16 && body + 16 <= b.size()) {
            rate = int(Le32(b, body + 4));
        } else if (b.compare(at, 4, "data") == 0) {
            // espeak-ng streaming to a file may leave a size larger than what follows.
            const size_t bytes = std::min<size_t>(size, b.size() - body) & ~size_t(1);
            std::vector<int16_t> out(bytes / 2);
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = int16_t(uint16_t(uint8_t(b[body + 2 * i])) |
                                 uint16_t(uint8_t(b[body + 2 * i + 1])) << 8);
            if (sampleRate) *sampleRate = rate;
            return out;
        }
        if (size > b.size() - body) break;
        at = body + size + (size & 1);
    }
    return {};
}

std::vector<int16_t> TrimVoice(const std::vector<int16_t>& s, int sampleRate) {
    constexpr int kQuiet = 400;
    auto loud = [](int16_t v) { return std::abs(int(v)) > kQuiet; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    if (first == s.end()) return {};
    const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
    const size_t limit = size_t(sampleRate) * kMaxVoiceMs / 1000;
    std::vector<int16_t> out(first, last);
    if (out.size() > limit) {
        out.resize(limit);
        const size_t fade = std::min<size_t>(limit, size_t(sampleRate) * 30 / 1000);
        for (size_t i = 0; i < fade; ++i) {
            int16_t& v = out[limit - 1 - i];
            v = int16_t(int(v) * int(i) / int(fade));
        }
    }
    return out;
}

std::string SpeakWord(const VoiceFolder& folder, const std::string& words) {
    char path[] = "/tmp/hqlv-voice-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        std::fprintf(stderr, "hqlv-assetgen: no temporary file for espeak-ng\n");
        return {};
    }
    close(fd);
    const std::string pitch = std::to_string(folder.pitch);
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("espeak-ng", "espeak-ng", "-v", folder.voice, "-p", pitch.c_str(), "-s", "200", "-w",
               path, words.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr,
                     "hqlv-assetgen: espeak-ng (voice %s) failed for \"%s\"; is the "
                     "espeak-ng package installed?\n",
                     folder.voice, words.c_str());
        unlink(path);
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(path);
    int rate = 0;
    const auto samples = TrimVoice(WaveSamples(bytes, &rate), rate > 0 ? rate : kSampleRate);
    if (samples.empty()) {
        std::fprintf(stderr, "hqlv-assetgen: espeak-ng said nothing for \"%s\"\n", words.c_str());
        return {};
    }
    return waveFile(samples, rate > 0 ? rate : kSampleRate);
}

bool VoiceFiles(std::vector<ArtFile>& out) {
    for (const auto& folder : VoiceFolders())
        for (const auto& word : VoiceWords()) {
            std::string bytes = SpeakWord(folder, word.words);
            if (bytes.empty()) return false;
            out.push_back(
                {std::string("sound/") + folder.name + "/" + word.file + ".wav", std::move(bytes)});
        }
    return true;
}

std::string TuneFile() {
    // A pentatonic line over a slow bass, quarter notes at 120 a minute: 20 beats, 10 s.
    static const double scale[] = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25};
    static const int line[] = {0, 2, 3, 4, 3, 2, 1, 0, 2, 4, 5, 4, 3, 2, 3, 1, 0, 2, 1, 0};
    static const int bass[] = {0, 0, 3, 3, 4, 4, 2, 2, 0, 0};
    const int beat = kSampleRate / 2;
    std::vector<int16_t> out(size_t(kTuneSeconds) * kSampleRate, 0);
    for (int b = 0; b < 20; ++b) {
        const auto note = synthesize({scale[line[b]], scale[line[b]], 480, false, 3});
        const auto low =
            synthesize({scale[bass[b / 2]] / 2, scale[bass[b / 2]] / 2, 980, false, 1.5});
        for (size_t i = 0; i < note.size() && size_t(b * beat) + i < out.size(); ++i)
            out[size_t(b * beat) + i] = int16_t(out[size_t(b * beat) + i] + note[i] / 2);
        if (b % 2 == 0)
            for (size_t i = 0; i < low.size() && size_t(b * beat) + i < out.size(); ++i)
                out[size_t(b * beat) + i] = int16_t(out[size_t(b * beat) + i] + low[i] / 3);
    }
    return waveFile(out);
}

}  // namespace hqlv::assetgen
