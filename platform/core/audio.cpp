#include "platform/core/audio.h"

#include "platform/core/diag.h"
#include "platform/core/files.h"

namespace hqlv::platform {
namespace {

void setError(std::string* error, std::string_view text) {
    if (error) *error = text;
}

class NullAudio : public Audio {
public:
    bool playWaveFile(std::string_view, WaveOptions, std::string* error) override {
        setError(error, "no audio device");
        return false;
    }
    bool playWaveBytes(std::string_view, WaveOptions, std::string* error) override {
        setError(error, "no audio device");
        return false;
    }
    void stopWave() override {}
    bool wavePlaying() override { return false; }
    bool openMusic(std::string_view, std::string* error) override {
        setError(error, "no audio device");
        return false;
    }
    bool playMusic(bool) override { return false; }
    MusicStatus musicStatus() override { return MusicStatus::kNotOpen; }
    void stopMusic() override {}
    void closeMusic() override {}
    bool offersSamples() override { return false; }
    SampleId loadSampleFile(std::string_view, std::string* error) override {
        setError(error, "no audio device");
        return 0;
    }
    SampleId loadSampleBytes(std::string_view, std::string* error) override {
        setError(error, "no audio device");
        return 0;
    }
    bool playSample(SampleId) override { return false; }
    int samplePlaybacks(SampleId) override { return 0; }
    void freeSample(SampleId) override {}
    void setMuted(bool muted) override {
        std::lock_guard lock(mutex_);
        muted_ = muted;
    }
    bool muted() override {
        std::lock_guard lock(mutex_);
        return muted_;
    }
    const char* backendName() const override { return "null"; }

private:
    std::mutex mutex_;
    bool muted_ = false;
};

std::mutex& serviceMutex() {
    static std::mutex m;
    return m;
}
// Destroyed at exit before the leak check runs, so the device's thread is joined first.
std::shared_ptr<Audio>& serviceRef() {
    static std::shared_ptr<Audio> s;
    return s;
}

}  // namespace

std::unique_ptr<Audio> makeNullAudio() {
    return std::make_unique<NullAudio>();
}

std::unique_ptr<Audio> openAudio() {
    std::string error;
    std::unique_ptr<Audio> sdl = makeSdlAudio(&error);
    if (sdl) return sdl;
    diagf("audio: no sound device (%s); sounds stay silent", error.c_str());
    return makeNullAudio();
}

std::shared_ptr<Audio> audio() {
    std::lock_guard lock(serviceMutex());
    if (!serviceRef()) serviceRef() = openAudio();
    return serviceRef();
}

std::shared_ptr<Audio> installAudio(std::shared_ptr<Audio> service) {
    std::shared_ptr<Audio> old;
    {
        std::lock_guard lock(serviceMutex());
        old = std::move(serviceRef());
        serviceRef() = std::move(service);
    }
    return old;
}

void shutdownAudio() {
    std::shared_ptr<Audio> old = installAudio(nullptr);
    old.reset();  // outside the lock: closing the device joins its thread
}

namespace {
std::mutex& soundFolderMutex() {
    static std::mutex m;
    return m;
}
std::string& soundFolderRef() {
    static std::string folder;
    return folder;
}
}  // namespace

void setResourceSoundFolder(std::string_view folder) {
    std::lock_guard lock(soundFolderMutex());
    soundFolderRef() = folder;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') soundFolderRef() += '/';
}

std::string resourceSoundPath(int id) {
    std::string folder;
    {
        std::lock_guard lock(soundFolderMutex());
        folder = soundFolderRef();
    }
    if (folder.empty()) folder = programFolder() + "resources/sound/";
    return folder + std::to_string(id) + ".wav";
}

// ---- the recording double ----

bool RecordingAudio::playWave(Kind kind, std::string_view data, WaveOptions options,
                              std::string* error) {
    std::lock_guard lock(mutex_);
    Call call{kind, std::string(data), options};
    if (muted_) {
        setError(error, "muted");
    } else if (options.noStop && sounding_) {
        setError(error, "another wave is sounding");
    } else if (!accept_) {
        setError(error, "not a wave");
    } else {
        call.result = true;
        // A synchronous wave has ended when the call returns.
        sounding_ = options.async;
    }
    calls_.push_back(call);
    return call.result;
}

bool RecordingAudio::playWaveFile(std::string_view path, WaveOptions options, std::string* error) {
    return playWave(Kind::kWaveFile, path, options, error);
}

bool RecordingAudio::playWaveBytes(std::string_view bytes, WaveOptions options,
                                   std::string* error) {
    return playWave(Kind::kWaveBytes, bytes, options, error);
}

void RecordingAudio::stopWave() {
    std::lock_guard lock(mutex_);
    sounding_ = false;
    calls_.push_back({Kind::kStopWave, {}, {}, false, true});
}

bool RecordingAudio::wavePlaying() {
    std::lock_guard lock(mutex_);
    return sounding_;
}

bool RecordingAudio::openMusic(std::string_view path, std::string* error) {
    std::lock_guard lock(mutex_);
    Call call{Kind::kOpenMusic, std::string(path), {}, false, accept_};
    music_ = accept_ ? MusicStatus::kStopped : MusicStatus::kNotOpen;
    if (!accept_) setError(error, "not a music file");
    calls_.push_back(call);
    return call.result;
}

bool RecordingAudio::playMusic(bool loop) {
    std::lock_guard lock(mutex_);
    bool ok = music_ != MusicStatus::kNotOpen;
    if (ok) music_ = MusicStatus::kPlaying;
    calls_.push_back({Kind::kPlayMusic, {}, {}, loop, ok});
    return ok;
}

MusicStatus RecordingAudio::musicStatus() {
    std::lock_guard lock(mutex_);
    return music_;
}

void RecordingAudio::stopMusic() {
    std::lock_guard lock(mutex_);
    if (music_ == MusicStatus::kPlaying) music_ = MusicStatus::kStopped;
    calls_.push_back({Kind::kStopMusic, {}, {}, false, true});
}

void RecordingAudio::closeMusic() {
    std::lock_guard lock(mutex_);
    music_ = MusicStatus::kNotOpen;
    calls_.push_back({Kind::kCloseMusic, {}, {}, false, true});
}

void RecordingAudio::setMuted(bool muted) {
    std::lock_guard lock(mutex_);
    muted_ = muted;
    if (muted) {
        sounding_ = false;
        for (auto& [id, playing] : samples_) playing.clear();
    }
    calls_.push_back({Kind::kMute, {}, {}, muted, true});
}

bool RecordingAudio::offersSamples() {
    std::lock_guard lock(mutex_);
    return offersSamples_;
}

SampleId RecordingAudio::loadSample(Kind kind, std::string_view data, std::string* error) {
    std::lock_guard lock(mutex_);
    Call call{kind, std::string(data), {}};
    if (!offersSamples_) {
        setError(error, "no samples");
    } else if (!accept_ || data.empty()) {
        setError(error, "not a wave");
    } else if (kind == Kind::kLoadSampleFile && !acceptSampleFiles_) {
        setError(error, "missing file");
    } else {
        call.sample = nextSample_++;
        call.result = true;
        samples_[call.sample];
    }
    calls_.push_back(call);
    return call.sample;
}

SampleId RecordingAudio::loadSampleFile(std::string_view path, std::string* error) {
    return loadSample(Kind::kLoadSampleFile, path, error);
}

SampleId RecordingAudio::loadSampleBytes(std::string_view bytes, std::string* error) {
    return loadSample(Kind::kLoadSampleBytes, bytes, error);
}

bool RecordingAudio::playSample(SampleId id) {
    std::lock_guard lock(mutex_);
    Call call{Kind::kPlaySample, {}, {}};
    call.sample = id;
    auto it = samples_.find(id);
    if (it != samples_.end() && !muted_) {
        if (it->second.size() >= size_t(kMaxSamplePlaybacks)) it->second.pop_front();
        it->second.push_back(++playbackSeq_);
        call.result = true;
    }
    calls_.push_back(call);
    return call.result;
}

int RecordingAudio::samplePlaybacks(SampleId id) {
    std::lock_guard lock(mutex_);
    auto it = samples_.find(id);
    return it == samples_.end() ? 0 : int(it->second.size());
}

void RecordingAudio::freeSample(SampleId id) {
    std::lock_guard lock(mutex_);
    Call call{Kind::kFreeSample, {}, {}};
    call.sample = id;
    call.result = samples_.erase(id) != 0;
    calls_.push_back(call);
}

void RecordingAudio::setAcceptSampleFiles(bool accept) {
    std::lock_guard lock(mutex_);
    acceptSampleFiles_ = accept;
}

void RecordingAudio::setOffersSamples(bool offers) {
    std::lock_guard lock(mutex_);
    offersSamples_ = offers;
}

void RecordingAudio::finishMusic() {
    std::lock_guard lock(mutex_);
    if (music_ == MusicStatus::kPlaying) music_ = MusicStatus::kStopped;
}

void RecordingAudio::finishSamples() {
    std::lock_guard lock(mutex_);
    for (auto& [id, playing] : samples_) playing.clear();
}

bool RecordingAudio::muted() {
    std::lock_guard lock(mutex_);
    return muted_;
}

std::vector<RecordingAudio::Call> RecordingAudio::calls() {
    std::lock_guard lock(mutex_);
    return calls_;
}

void RecordingAudio::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void RecordingAudio::finishWave() {
    std::lock_guard lock(mutex_);
    sounding_ = false;
}

void RecordingAudio::setAccept(bool accept) {
    std::lock_guard lock(mutex_);
    accept_ = accept;
}

}  // namespace hqlv::platform
