#pragma once
// Sound: one wave at a time (from a file or from bytes), short samples beside it, and one
// piece of music.
//
// Waves behave like the Windows wave call the code above was written for: a new wave cuts
// off the one playing, unless "no stop" is asked, in which case the call is refused while
// a wave is still sounding. Asynchronous calls return at once; the others return when the
// wave has ended. Muting silences waves only; music has its own open/play/stop.
//
// The process's service is opened on first use: SDL2_mixer on the default device (SDL's
// "dummy" driver counts as one), else a silent backend and a diagnostic line. Tests and
// code above may install their own service, e.g. the recording double below.
//
// Samples are sounds decoded once and kept: each plays on a channel of its own beside the
// wave channel, at most kMaxSamplePlaybacks at a time; one more play cuts off the playback
// that started longest ago. Muting silences them like waves. The silent backend offers
// none (offersSamples() is false), so callers take their wave fallback there.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

struct WaveOptions {
    bool async = true;    // return at once instead of when the wave has ended
    bool noStop = false;  // refuse while another wave is still sounding
};

enum class MusicStatus { kNotOpen, kStopped, kPlaying };

// A loaded sample; 0 is none.
using SampleId = uint32_t;
constexpr int kMaxSamplePlaybacks = 3;

class Audio {
public:
    virtual ~Audio() = default;

    // Plays a wave file (found case-insensitively, '\\' accepted) or a wave file's bytes
    // (copied; the caller may free them at once). False with *error set when nothing
    // plays: missing or broken data, muted, refused by no-stop, no device.
    virtual bool playWaveFile(std::string_view path, WaveOptions options,
                              std::string* error = nullptr) = 0;
    virtual bool playWaveBytes(std::string_view bytes, WaveOptions options,
                               std::string* error = nullptr) = 0;
    virtual void stopWave() = 0;
    virtual bool wavePlaying() = 0;

    // Music: open replaces what was open; play starts from the beginning, looping until
    // stopped when asked to.
    virtual bool openMusic(std::string_view path, std::string* error = nullptr) = 0;
    virtual bool playMusic(bool loop) = 0;
    virtual MusicStatus musicStatus() = 0;
    virtual void stopMusic() = 0;
    virtual void closeMusic() = 0;

    // Samples. Loading reads the whole sound (a wave file, found like the waves' files, or
    // a wave file's bytes, copied); 0 with *error set when it cannot. Playing an unknown
    // id, or while muted, plays nothing and returns false.
    virtual bool offersSamples() = 0;
    virtual SampleId loadSampleFile(std::string_view path, std::string* error = nullptr) = 0;
    virtual SampleId loadSampleBytes(std::string_view bytes, std::string* error = nullptr) = 0;
    virtual bool playSample(SampleId id) = 0;
    // How many playbacks of the sample are sounding now.
    virtual int samplePlaybacks(SampleId id) = 0;
    // Stops its playbacks and forgets it; unknown ids are ignored.
    virtual void freeSample(SampleId id) = 0;

    // Muting stops the wave and the samples that are sounding and refuses new ones until
    // unmuted.
    virtual void setMuted(bool muted) = 0;
    virtual bool muted() = 0;

    // "sdl", "null" or "recording".
    virtual const char* backendName() const = 0;
};

// The SDL2_mixer backend on the default device; null with *error set when no device can
// be opened. Only one may exist at a time (the device is the process's).
std::unique_ptr<Audio> makeSdlAudio(std::string* error = nullptr);

// The silent backend: every play is refused with "no audio device".
std::unique_ptr<Audio> makeNullAudio();

// The SDL backend, else the silent one with a diagnostic line saying why.
std::unique_ptr<Audio> openAudio();

// The process's service, opened on first use. Never null.
std::shared_ptr<Audio> audio();

// Replaces the process's service; null goes back to opening the default one on next use.
// Returns the previous one (null when none was open yet).
std::shared_ptr<Audio> installAudio(std::shared_ptr<Audio> service);

// Lets go of the process's service (closing the device when nobody else holds it); a later
// use opens the default again. The client calls it when its run returns, once its application
// and everything that plays are gone, so the device's thread ends before exit; a fatal stop
// (std::exit on a missing resource) skips it and the device goes with the process.
void shutdownAudio();

// The program's own wave resources: "<id>.wav" in "resources/sound/" of the program
// folder. The folder can be pointed elsewhere (tests); an empty one restores the default.
// Thread-safe.
void setResourceSoundFolder(std::string_view folder);
std::string resourceSoundPath(int id);

// The test double: records every call and plays nothing. A wave "sounds" from a play
// until finishWave() or a stop, so the no-stop rule can be exercised.
class RecordingAudio : public Audio {
public:
    enum class Kind {
        kWaveFile,
        kWaveBytes,
        kStopWave,
        kOpenMusic,
        kPlayMusic,
        kStopMusic,
        kCloseMusic,
        kMute,
        kLoadSampleFile,
        kLoadSampleBytes,
        kPlaySample,
        kFreeSample
    };
    struct Call {
        Kind kind;
        std::string data;  // path, or the bytes of kWaveBytes and kLoadSampleBytes
        WaveOptions options;
        bool flag = false;  // kPlayMusic: loop; kMute: muted
        bool result = false;
        SampleId sample = 0;  // the sample loaded, played or freed
    };

    bool playWaveFile(std::string_view path, WaveOptions options,
                      std::string* error = nullptr) override;
    bool playWaveBytes(std::string_view bytes, WaveOptions options,
                       std::string* error = nullptr) override;
    void stopWave() override;
    bool wavePlaying() override;
    bool openMusic(std::string_view path, std::string* error = nullptr) override;
    bool playMusic(bool loop) override;
    MusicStatus musicStatus() override;
    void stopMusic() override;
    void closeMusic() override;
    bool offersSamples() override;
    SampleId loadSampleFile(std::string_view path, std::string* error = nullptr) override;
    SampleId loadSampleBytes(std::string_view bytes, std::string* error = nullptr) override;
    bool playSample(SampleId id) override;
    int samplePlaybacks(SampleId id) override;
    void freeSample(SampleId id) override;
    void setMuted(bool muted) override;
    bool muted() override;
    const char* backendName() const override { return "recording"; }

    std::vector<Call> calls();
    void clear();
    void finishWave();  // the sounding wave has ended
    // When false, waves, samples and music are refused as if the data were broken.
    void setAccept(bool accept);
    // When false, samples are refused from files (as if missing) but still taken from bytes.
    void setAcceptSampleFiles(bool accept);
    // When false the double offers no samples, like the silent backend.
    void setOffersSamples(bool offers);
    void finishSamples();  // every sample playback has ended
    void finishMusic();    // the music played to its end

private:
    bool playWave(Kind kind, std::string_view data, WaveOptions options, std::string* error);
    SampleId loadSample(Kind kind, std::string_view data, std::string* error);
    std::mutex mutex_;
    std::vector<Call> calls_;
    // Per loaded sample, the start numbers of its sounding playbacks, oldest first.
    std::map<SampleId, std::deque<uint64_t>> samples_;
    SampleId nextSample_ = 1;
    uint64_t playbackSeq_ = 0;
    bool offersSamples_ = true;
    bool acceptSampleFiles_ = true;
    bool accept_ = true;
    bool sounding_ = false;
    bool muted_ = false;
    MusicStatus music_ = MusicStatus::kNotOpen;
};

}  // namespace hqlv::platform
