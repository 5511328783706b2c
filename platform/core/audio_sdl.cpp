// The SDL2_mixer backend: channel 0 carries the one wave, the channels after it the
// samples, the mixer's music stream the music.
#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <thread>
#include <vector>

#include "platform/core/audio.h"
#include "platform/core/files.h"

namespace hqlv::platform {
namespace {

constexpr int kWaveChannel = 0;
// Enough for a few samples sounding at their full count at once.
constexpr int kSampleChannels = 16;
constexpr size_t kWaveHeaderBytes = 12;  // "RIFF", the length, "WAVE"
std::atomic<bool> g_deviceTaken{false};

void setError(std::string* error, std::string_view text) {
    if (error) *error = text;
}

class SdlAudio : public Audio {
public:
    ~SdlAudio() override {
        {
            std::lock_guard lock(mutex_);
            Mix_HaltChannel(-1);
            freeChunk();
            for (auto& [id, sample] : samples_) Mix_FreeChunk(sample.chunk);
            samples_.clear();
            closeMusicLocked();
        }
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_Quit();
        g_deviceTaken = false;
    }

    bool playWaveFile(std::string_view path, WaveOptions options, std::string* error) override {
        std::string resolved, why;
        if (!resolveExisting(path, &resolved, &why)) {
            setError(error, why.empty() ? std::string("missing file") : why);
            return false;
        }
        return play(SDL_RWFromFile(resolved.c_str(), "rb"), options, error);
    }

    bool playWaveBytes(std::string_view bytes, WaveOptions options, std::string* error) override {
        if (bytes.empty() || bytes.size() > size_t(INT32_MAX)) {
            setError(error, bytes.empty() ? "no wave data" : "wave data too large");
            return false;
        }
        // The mixer converts the wave into a buffer of its own while loading, so the
        // caller's bytes are needed only during this call.
        return play(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), options,
                    error);
    }

    void stopWave() override {
        std::lock_guard lock(mutex_);
        Mix_HaltChannel(kWaveChannel);
        ++generation_;
    }

    bool wavePlaying() override {
        std::lock_guard lock(mutex_);
        return Mix_Playing(kWaveChannel) != 0;
    }

    bool openMusic(std::string_view path, std::string* error) override {
        std::lock_guard lock(mutex_);
        closeMusicLocked();
        std::string resolved, why;
        if (!resolveExisting(path, &resolved, &why)) {
            setError(error, why.empty() ? std::string("missing file") : why);
            return false;
        }
        // By content, whatever the extension says (the table music is WAVE bytes in a
        // file named .mp3, as the Windows player took it).
        music_ = Mix_LoadMUS_RW(SDL_RWFromFile(resolved.c_str(), "rb"), 1);
        if (!music_) {
            setError(error, Mix_GetError());
            return false;
        }
        return true;
    }

    bool playMusic(bool loop) override {
        std::lock_guard lock(mutex_);
        if (!music_) return false;
        return Mix_PlayMusic(music_, loop ? -1 : 1) == 0;
    }

    MusicStatus musicStatus() override {
        std::lock_guard lock(mutex_);
        if (!music_) return MusicStatus::kNotOpen;
        return Mix_PlayingMusic() ? MusicStatus::kPlaying : MusicStatus::kStopped;
    }

    void stopMusic() override {
        std::lock_guard lock(mutex_);
        Mix_HaltMusic();
    }

    void closeMusic() override {
        std::lock_guard lock(mutex_);
        closeMusicLocked();
    }

    bool offersSamples() override { return true; }

    SampleId loadSampleFile(std::string_view path, std::string* error) override {
        std::string bytes, why;
        if (!readFile(path, &bytes, &why)) {
            setError(error, why.empty() ? std::string("missing file") : why);
            return 0;
        }
        return loadSampleBytes(bytes, error);
    }

    SampleId loadSampleBytes(std::string_view bytes, std::string* error) override {
        // The mixer loses its reader on data shorter than a wave header, so such data
        // never reaches it.
        if (bytes.size() < kWaveHeaderBytes || bytes.size() > size_t(INT32_MAX)) {
            setError(error, bytes.size() < kWaveHeaderBytes ? "not a wave" : "wave data too large");
            return 0;
        }
        return loadSample(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), error);
    }

    bool playSample(SampleId id) override {
        std::lock_guard lock(mutex_);
        auto it = samples_.find(id);
        if (it == samples_.end() || muted_) return false;
        std::vector<Playback>& playing = soundingLocked(it->second);
        int channel = -1;
        if (playing.size() >= size_t(kMaxSamplePlaybacks)) {
            // The full count sounds already: the one that started first makes room.
            channel = playing.front().channel;
            Mix_HaltChannel(channel);
            playing.erase(playing.begin());
        }
        channel = Mix_PlayChannel(channel, it->second.chunk, 0);
        if (channel < 0) return false;  // every sample channel is busy
        const uint64_t seq = ++playbackSeq_;
        channelSeq_[channel] = seq;
        playing.push_back({channel, seq});
        return true;
    }

    int samplePlaybacks(SampleId id) override {
        std::lock_guard lock(mutex_);
        auto it = samples_.find(id);
        return it == samples_.end() ? 0 : int(soundingLocked(it->second).size());
    }

    void freeSample(SampleId id) override {
        std::lock_guard lock(mutex_);
        auto it = samples_.find(id);
        if (it == samples_.end()) return;
        for (const Playback& p : soundingLocked(it->second)) Mix_HaltChannel(p.channel);
        Mix_FreeChunk(it->second.chunk);
        samples_.erase(it);
    }

    void setMuted(bool muted) override {
        std::lock_guard lock(mutex_);
        muted_ = muted;
        if (muted) {
            Mix_HaltChannel(-1);
            ++generation_;
        }
    }

    bool muted() override {
        std::lock_guard lock(mutex_);
        return muted_;
    }

    const char* backendName() const override { return "sdl"; }

private:
    struct Playback {
        int channel;
        uint64_t seq;  // start number; the channel may have moved on to another playback
    };
    struct Sample {
        Mix_Chunk* chunk = nullptr;
        std::vector<Playback> playing;  // oldest first
    };

    SampleId loadSample(SDL_RWops* rw, std::string* error) {
        if (!rw) {
            setError(error, SDL_GetError());
            return 0;
        }
        Mix_Chunk* chunk = Mix_LoadWAV_RW(rw, 1);
        if (!chunk) {
            setError(error, Mix_GetError());
            return 0;
        }
        std::lock_guard lock(mutex_);
        const SampleId id = nextSample_++;
        samples_[id].chunk = chunk;
        return id;
    }

    // Drops the playbacks that have ended or whose channel went to another one.
    std::vector<Playback>& soundingLocked(Sample& sample) {
        std::erase_if(sample.playing, [this](const Playback& p) {
            return channelSeq_[p.channel] != p.seq || !Mix_Playing(p.channel);
        });
        return sample.playing;
    }

    bool play(SDL_RWops* rw, WaveOptions options, std::string* error) {
        if (!rw) {
            setError(error, SDL_GetError());
            return false;
        }
        std::unique_lock lock(mutex_);
        if (muted_ || (options.noStop && Mix_Playing(kWaveChannel))) {
            SDL_RWclose(rw);
            setError(error, muted_ ? "muted" : "another wave is sounding");
            return false;
        }
        Mix_Chunk* chunk = Mix_LoadWAV_RW(rw, 1);
        if (!chunk) {
            setError(error, Mix_GetError());
            return false;
        }
        Mix_HaltChannel(kWaveChannel);
        freeChunk();
        chunk_ = chunk;
        uint64_t mine = ++generation_;
        if (Mix_PlayChannel(kWaveChannel, chunk_, 0) < 0) {
            setError(error, Mix_GetError());
            return false;
        }
        if (options.async) return true;
        // Wait for the end, but never longer than the wave plus some slack, so a stalled
        // device cannot hang the caller. Another play or a stop also ends the wait.
        auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(durationMs(chunk_) + 2000);
        while (generation_ == mine && Mix_Playing(kWaveChannel) &&
               std::chrono::steady_clock::now() < deadline) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            lock.lock();
        }
        return true;
    }

    static int64_t durationMs(const Mix_Chunk* chunk) {
        int freq = 0, channels = 0;
        Uint16 format = 0;
        if (!Mix_QuerySpec(&freq, &format, &channels) || freq <= 0 || channels <= 0) return 0;
        int64_t frameBytes = int64_t(SDL_AUDIO_BITSIZE(format) / 8) * channels;
        if (frameBytes <= 0) return 0;
        return int64_t(chunk->alen) * 1000 / (frameBytes * freq);
    }

    void freeChunk() {
        if (chunk_) Mix_FreeChunk(chunk_);
        chunk_ = nullptr;
    }

    void closeMusicLocked() {
        if (!music_) return;
        Mix_HaltMusic();
        Mix_FreeMusic(music_);
        music_ = nullptr;
    }

    std::mutex mutex_;
    Mix_Chunk* chunk_ = nullptr;
    Mix_Music* music_ = nullptr;
    uint64_t generation_ = 0;
    bool muted_ = false;
    std::map<SampleId, Sample> samples_;
    SampleId nextSample_ = 1;
    uint64_t playbackSeq_ = 0;
    uint64_t channelSeq_[1 + kSampleChannels] = {};
};

}  // namespace

std::unique_ptr<Audio> makeSdlAudio(std::string* error) {
    if (g_deviceTaken.exchange(true)) {
        setError(error, "the audio device is already open");
        return nullptr;
    }
    // The client handles its own signals; SDL must not turn Ctrl-C into events of its own.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        setError(error, SDL_GetError());
        SDL_Quit();
        g_deviceTaken = false;
        return nullptr;
    }
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        setError(error, Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_Quit();
        g_deviceTaken = false;
        return nullptr;
    }
    Mix_AllocateChannels(1 + kSampleChannels);
    // Keeps the wave channel out of the samples' search for a free channel.
    Mix_ReserveChannels(1);
    return std::make_unique<SdlAudio>();
}

}  // namespace hqlv::platform
