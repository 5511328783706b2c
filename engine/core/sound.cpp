#include "engine/core/sound.h"

#include "engine/core/resource_manager.h"
#include "platform/core/files.h"

namespace hqlv::engine {

SoundPlayer::~SoundPlayer() {
    CloseMusic();
    samplesEnabled_ = false;
}

bool SoundPlayer::EnableBass() {
    if (GetResourceManager().LoadSampleLibrary()) samplesEnabled_ = true;
    return samplesEnabled_;
}

bool SoundPlayer::Play(const std::string& path) {
    if (muted_) return false;
    if (samplesEnabled_) {
        const platform::SampleId sample = GetSample(path);
        return sample && PlaySample(sample);
    }
    // Like the system's asynchronous wave call that does not cut off a sounding wave.
    return platform::audio()->playWaveFile(path, {true, true});
}

bool SoundPlayer::PlayFile(const std::string& name) {
    return Play(name);
}

bool SoundPlayer::PlayDirFile(const std::string& name) {
    return Play(soundDir_ + name);
}

bool SoundPlayer::PlayResourceSound(int id, std::string_view type) {
    if (muted_) return false;
    if (samplesEnabled_) {
        const platform::SampleId sample = GetSystemSample(id, type);
        return sample && PlaySample(sample);
    }
    std::string bytes;
    if (!platform::readFile(platform::resourceSoundPath(id), &bytes)) return false;
    return platform::audio()->playWaveBytes(bytes, {true, true});
}

platform::SampleId SoundPlayer::GetSample(const std::string& name) {
    if (!samplesEnabled_) return 0;
    ResourceManager& rm = GetResourceManager();
    if (platform::SampleId found = rm.FindSample(name)) return found;
    return rm.LoadSample(name);
}

platform::SampleId SoundPlayer::GetSystemSample(int id, std::string_view type) {
    if (!samplesEnabled_) return 0;
    const std::string key = "系统音效" + std::to_string(id) + std::string(type) + ".sound";
    ResourceManager& rm = GetResourceManager();
    if (platform::SampleId found = rm.FindSample(key)) return found;
    return rm.LoadSampleFromProgramResource(id, key);
}

bool SoundPlayer::PlaySample(platform::SampleId sample) {
    return platform::audio()->playSample(sample);
}

void SoundPlayer::OpenMusic(std::string_view name) {
    CloseMusic();
    musicPath_ = soundDir_ + std::string(name);
    OpenMusicDevice();
}

void SoundPlayer::OpenMusicDevice() {
    if (musicOpen_) return;
    platform::audio()->openMusic(musicPath_);
    musicOpen_ = true;
}

void SoundPlayer::PlayMusic() {
    if (!musicOpen_) return;
    // Played once; the poll restarts it, as the looping has always been done.
    platform::audio()->playMusic(false);
    playing_ = looping_ = true;
    pollCountdown_ = pollInterval_;
}

void SoundPlayer::CloseMusic() {
    if (!musicOpen_) return;
    platform::audio()->closeMusic();
    playing_ = musicOpen_ = looping_ = false;
}

void SoundPlayer::RewindMusic() {
    // playMusic starts from the beginning; stopping is all a rewind needs.
    platform::audio()->stopMusic();
}

void SoundPlayer::PollMusicLoop() {
    if (!playing_ || !looping_) return;
    if (pollCountdown_ > 0) {
        --pollCountdown_;
        return;
    }
    pollCountdown_ = pollInterval_;
    if (platform::audio()->musicStatus() == platform::MusicStatus::kStopped) {
        playing_ = false;
        RewindMusic();
        PlayMusic();
    }
}

}  // namespace hqlv::engine
