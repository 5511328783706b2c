#pragma once
// The engine's sounds: short sounds through the audio service's samples when it offers
// them (loaded once, kept by name in the resource manager), else through its wave
// channel; and one piece of music, restarted when a poll finds it stopped.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/audio.h"

namespace hqlv::engine {

class SoundPlayer {
public:
    SoundPlayer() { Reset(); }
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    void Reset() { samplesEnabled_ = false; }
    void SetSoundDir(std::string_view folder) { soundDir_ = folder; }
    const std::string& GetSoundDir() const { return soundDir_; }
    void SetMuted(bool muted) { muted_ = muted; }
    bool IsMuted() const { return muted_; }
    void SetPollInterval(int polls) { pollInterval_ = polls; }

    // True when the audio service offers samples; the sound calls then use them.
    bool EnableBass();
    bool SamplesEnabled() const { return samplesEnabled_; }

    bool PlayFile(const std::string& name);
    bool PlayDirFile(const std::string& name);
    // The program's own sound resource (resources/sound/<id>.wav); the buttons pass "sound".
    bool PlayResourceSound(int id, std::string_view type);

    platform::SampleId GetSample(const std::string& name);
    platform::SampleId GetSystemSample(int id, std::string_view type);
    bool PlaySample(platform::SampleId sample);

    void OpenMusic(std::string_view name);
    void OpenMusicDevice();
    void PlayMusic();
    void CloseMusic();
    void RewindMusic();
    // Called each time the engine's queue has been emptied.
    void PollMusicLoop();
    bool MusicOpen() const { return musicOpen_; }
    bool MusicPlaying() const { return playing_; }
    // The music plays in a loop: its end is looked for at the queue's polls.
    bool MusicLooping() const { return playing_ && looping_; }

private:
    bool Play(const std::string& path);

    std::string soundDir_;
    std::string musicPath_;
    bool musicOpen_ = false;
    bool playing_ = false;
    bool looping_ = false;
    int pollInterval_ = 0;
    int pollCountdown_ = 0;
    bool muted_ = false;
    bool samplesEnabled_ = false;
};

}  // namespace hqlv::engine
