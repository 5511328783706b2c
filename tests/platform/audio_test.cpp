#include "platform/core/audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/files.h"
#include "temp_dir.h"

using namespace hqlv::platform;

namespace {

void put16(std::string& s, uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}
void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

// A mono 16-bit PCM wave of a sine tone, built byte by byte.
std::string makeWave(int ms, int rate = 22050, double hz = 440.0) {
    uint32_t frames = uint32_t(int64_t(rate) * ms / 1000);
    std::string s = "RIFF";
    put32(s, 36 + frames * 2);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, 1);
    put32(s, uint32_t(rate));
    put32(s, uint32_t(rate) * 2);
    put16(s, 2);
    put16(s, 16);
    s += "data";
    put32(s, frames * 2);
    for (uint32_t i = 0; i < frames; ++i)
        put16(s, uint16_t(int16_t(8000 * std::sin(2 * M_PI * hz * i / rate))));
    return s;
}

template <typename F>
bool waitFor(F cond, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return cond();
}

class SdlAudioTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        audio_ = makeSdlAudio(&error);
        ASSERT_TRUE(audio_) << error;
        ASSERT_STREQ(audio_->backendName(), "sdl");
    }
    std::unique_ptr<Audio> audio_;
    TempDir dir_;
};

}  // namespace

TEST_F(SdlAudioTest, PlaysBytesAndFilesAndRefusesBrokenData) {
    std::string error;
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(800), {}, &error)) << error;
    EXPECT_TRUE(audio_->wavePlaying());
    audio_->stopWave();
    EXPECT_FALSE(audio_->wavePlaying());

    // Files are found whatever the case of their name and with Windows separators.
    dir_.put("Sound/Tone.WAV", makeWave(800));
    EXPECT_TRUE(audio_->playWaveFile(dir_.path() + "\\sound\\tone.wav", {}, &error)) << error;
    EXPECT_TRUE(audio_->wavePlaying());
    audio_->stopWave();

    error.clear();
    EXPECT_FALSE(audio_->playWaveFile(dir_ / "missing.wav", {}, &error));
    EXPECT_FALSE(error.empty());

    // Broken data: not RIFF, a header cut short, a wave with an unknown encoding, nothing.
    std::string good = makeWave(200);
    std::string unknownFormat = good;
    unknownFormat[20] = 0x55;  // format tag
    unknownFormat[21] = 0x55;
    for (const std::string& bad : {std::string("this is not a wave file at all"),
                                   good.substr(0, 30), unknownFormat, std::string()}) {
        error.clear();
        EXPECT_FALSE(audio_->playWaveBytes(bad, {}, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(audio_->wavePlaying());
    }
    dir_.put("broken.wav", "RIFF\x10\0\0\0WAVEjunkjunk");
    error.clear();
    EXPECT_FALSE(audio_->playWaveFile(dir_ / "broken.wav", {}, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SdlAudioTest, NoStopLeavesTheSoundingWaveAlone) {
    ASSERT_TRUE(audio_->playWaveBytes(makeWave(1500), {}));
    std::string error;
    EXPECT_FALSE(audio_->playWaveBytes(makeWave(100, 22050, 880), {true, true}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(audio_->wavePlaying());
    // Without no-stop the new wave cuts the old one off; it is short, so it ends soon.
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(100, 22050, 880), {true, false}));
    EXPECT_TRUE(waitFor([&] { return !audio_->wavePlaying(); }, 3000));
    // Once quiet, a no-stop wave plays.
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(300), {true, true}));
    EXPECT_TRUE(audio_->wavePlaying());
}

TEST_F(SdlAudioTest, SynchronousWaveReturnsWhenItHasEnded) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(audio_->playWaveBytes(makeWave(150), {false, false}));
    EXPECT_FALSE(audio_->wavePlaying());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

TEST_F(SdlAudioTest, ASynchronousWaitEndsWhenAnotherThreadTakesOver) {
    std::atomic<bool> returned{false};
    auto start = std::chrono::steady_clock::now();
    std::thread waiter([&] {
        EXPECT_TRUE(audio_->playWaveBytes(makeWave(4000), {false, false}));
        returned = true;
    });
    ASSERT_TRUE(waitFor([&] { return audio_->wavePlaying(); }, 2000));
    EXPECT_FALSE(returned);
    // Other threads keep using the service meanwhile: a no-stop wave is refused, a plain
    // one cuts the long wave off and so ends the wait.
    EXPECT_FALSE(audio_->playWaveBytes(makeWave(100), {true, true}));
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(100), {true, false}));
    waiter.join();
    EXPECT_TRUE(returned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));

    // Many threads at once, playing, stopping and asking.
    std::vector<std::thread> threads;
    std::string wave = makeWave(30);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                audio_->playWaveBytes(wave, {true, (i + t) % 2 == 0});
                if (i % 5 == t) audio_->stopWave();
                audio_->wavePlaying();
            }
        });
    for (auto& th : threads) th.join();
    audio_->stopWave();
    EXPECT_FALSE(audio_->wavePlaying());
}

TEST_F(SdlAudioTest, MusicPlaysLoopsAndStops) {
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kNotOpen);
    EXPECT_FALSE(audio_->playMusic(false));
    std::string error;
    EXPECT_FALSE(audio_->openMusic(dir_ / "none.wav", &error));
    EXPECT_FALSE(error.empty());
    dir_.put("junk.wav", "definitely not music");
    EXPECT_FALSE(audio_->openMusic(dir_ / "junk.wav", &error));
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kNotOpen);

    dir_.put("short.wav", makeWave(80));
    ASSERT_TRUE(audio_->openMusic(dir_ / "short.wav", &error)) << error;
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kStopped);
    ASSERT_TRUE(audio_->playMusic(false));
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kPlaying);
    EXPECT_TRUE(waitFor([&] { return audio_->musicStatus() == MusicStatus::kStopped; }, 3000));

    // Looping: still playing well after the piece's own length, until stopped.
    ASSERT_TRUE(audio_->playMusic(true));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kPlaying);
    audio_->stopMusic();
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kStopped);
    audio_->closeMusic();
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kNotOpen);

    // Waves and music sound side by side.
    dir_.put("long.wav", makeWave(1000));
    ASSERT_TRUE(audio_->openMusic(dir_ / "long.wav"));
    ASSERT_TRUE(audio_->playMusic(true));
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(500), {}));
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kPlaying);
    EXPECT_TRUE(audio_->wavePlaying());
}

TEST_F(SdlAudioTest, MuteSilencesWavesOnly) {
    dir_.put("long.wav", makeWave(1000));
    ASSERT_TRUE(audio_->openMusic(dir_ / "long.wav"));
    ASSERT_TRUE(audio_->playMusic(true));
    ASSERT_TRUE(audio_->playWaveBytes(makeWave(1000), {}));
    audio_->setMuted(true);
    EXPECT_TRUE(audio_->muted());
    EXPECT_FALSE(audio_->wavePlaying());
    std::string error;
    EXPECT_FALSE(audio_->playWaveBytes(makeWave(300), {}, &error));
    EXPECT_EQ(error, "muted");
    EXPECT_FALSE(audio_->playWaveFile(dir_ / "long.wav", {}));
    EXPECT_EQ(audio_->musicStatus(), MusicStatus::kPlaying);
    audio_->setMuted(false);
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(300), {}));
}

TEST_F(SdlAudioTest, TheDeviceIsOpenedOnceAndAgainAfterClosing) {
    std::string error;
    EXPECT_FALSE(makeSdlAudio(&error));
    EXPECT_FALSE(error.empty());
    audio_.reset();
    audio_ = makeSdlAudio(&error);
    ASSERT_TRUE(audio_) << error;
    EXPECT_TRUE(audio_->playWaveBytes(makeWave(100), {}));
}

TEST(NullAudio, RefusesEverythingQuietly) {
    auto a = makeNullAudio();
    std::string error;
    EXPECT_FALSE(a->playWaveBytes(makeWave(50), {}, &error));
    EXPECT_EQ(error, "no audio device");
    EXPECT_FALSE(a->playWaveFile("/nowhere.wav", {}));
    EXPECT_FALSE(a->openMusic("/nowhere.wav"));
    EXPECT_FALSE(a->playMusic(true));
    EXPECT_EQ(a->musicStatus(), MusicStatus::kNotOpen);
    a->setMuted(true);
    EXPECT_TRUE(a->muted());
    EXPECT_FALSE(a->offersSamples());
    EXPECT_EQ(a->loadSampleBytes(makeWave(50), &error), 0u);
    EXPECT_EQ(error, "no audio device");
    EXPECT_EQ(a->loadSampleFile("/nowhere.wav"), 0u);
    EXPECT_FALSE(a->playSample(1));
    EXPECT_EQ(a->samplePlaybacks(1), 0);
}

TEST(AudioService, InstalledServiceIsTheOneHandedOut) {
    auto rec = std::make_shared<RecordingAudio>();
    installAudio(rec);
    EXPECT_EQ(audio().get(), rec.get());
    EXPECT_TRUE(audio()->playWaveFile("a.wav", {}));
    EXPECT_EQ(installAudio(nullptr).get(), rec.get());
    // With nothing installed the default opens: the dummy device here.
    auto service = audio();
    EXPECT_STREQ(service->backendName(), "sdl");
    EXPECT_EQ(audio().get(), service.get());
    service.reset();
    shutdownAudio();
    // The device is free again once the service is let go of.
    std::string error;
    EXPECT_TRUE(makeSdlAudio(&error)) << error;
}

TEST(RecordingAudio, RecordsCallsAndKeepsTheNoStopRule) {
    RecordingAudio rec;
    EXPECT_TRUE(rec.playWaveBytes("abc", {true, true}));
    EXPECT_TRUE(rec.wavePlaying());
    EXPECT_FALSE(rec.playWaveFile("b.wav", {true, true}));
    EXPECT_TRUE(rec.playWaveFile("c.wav", {true, false}));
    rec.finishWave();
    EXPECT_TRUE(rec.playWaveFile("d.wav", {false, true}));
    EXPECT_FALSE(rec.wavePlaying());  // a synchronous wave has ended on return
    rec.setAccept(false);
    EXPECT_FALSE(rec.playWaveFile("e.wav", {}));
    EXPECT_FALSE(rec.openMusic("m.wav"));
    rec.setAccept(true);
    EXPECT_TRUE(rec.openMusic("m.wav"));
    EXPECT_TRUE(rec.playMusic(true));
    EXPECT_EQ(rec.musicStatus(), MusicStatus::kPlaying);
    rec.setMuted(true);
    EXPECT_FALSE(rec.playWaveFile("f.wav", {}));

    auto calls = rec.calls();
    ASSERT_EQ(calls.size(), 10u);
    using K = RecordingAudio::Kind;
    EXPECT_EQ(calls[0].kind, K::kWaveBytes);
    EXPECT_EQ(calls[0].data, "abc");
    EXPECT_TRUE(calls[0].options.noStop);
    EXPECT_FALSE(calls[1].result);
    EXPECT_EQ(calls[1].data, "b.wav");
    EXPECT_TRUE(calls[2].result);
    EXPECT_FALSE(calls[3].options.async);
    EXPECT_FALSE(calls[4].result);
    EXPECT_EQ(calls[5].kind, K::kOpenMusic);
    EXPECT_FALSE(calls[5].result);
    EXPECT_EQ(calls[7].kind, K::kPlayMusic);
    EXPECT_TRUE(calls[7].flag);
    EXPECT_EQ(calls[8].kind, K::kMute);
    EXPECT_FALSE(calls[9].result);
    rec.stopMusic();
    EXPECT_EQ(rec.musicStatus(), MusicStatus::kStopped);
    // Music ends only when it plays.
    RecordingAudio quiet;
    quiet.finishMusic();
    EXPECT_EQ(quiet.musicStatus(), MusicStatus::kNotOpen);
    ASSERT_TRUE(quiet.openMusic("m.mid"));
    ASSERT_TRUE(quiet.playMusic(false));
    quiet.finishMusic();
    EXPECT_EQ(quiet.musicStatus(), MusicStatus::kStopped);
}

TEST_F(SdlAudioTest, SamplesPlayBesideTheWaveAtMostThreeAtATime) {
    std::string error;
    SampleId a = audio_->loadSampleBytes(makeWave(1500), &error);
    ASSERT_NE(a, 0u) << error;
    dir_.put("Click.WAV", makeWave(1500, 22050, 880));
    SampleId b = audio_->loadSampleFile(dir_.path() + "\\click.wav", &error);
    ASSERT_NE(b, 0u) << error;
    EXPECT_NE(a, b);
    EXPECT_TRUE(audio_->offersSamples());

    ASSERT_TRUE(audio_->playWaveBytes(makeWave(1500), {}));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(audio_->playSample(a));
        EXPECT_EQ(audio_->samplePlaybacks(a), i);
    }
    // A fourth play takes the place of the oldest one.
    EXPECT_TRUE(audio_->playSample(a));
    EXPECT_EQ(audio_->samplePlaybacks(a), 3);
    EXPECT_TRUE(audio_->playSample(b));
    EXPECT_EQ(audio_->samplePlaybacks(b), 1);
    EXPECT_TRUE(audio_->wavePlaying());  // the samples never take the wave's channel

    audio_->freeSample(a);
    EXPECT_EQ(audio_->samplePlaybacks(a), 0);
    EXPECT_FALSE(audio_->playSample(a));
    EXPECT_FALSE(audio_->playSample(0));
    audio_->freeSample(12345);  // unknown: ignored

    audio_->setMuted(true);
    EXPECT_EQ(audio_->samplePlaybacks(b), 0);
    EXPECT_FALSE(audio_->playSample(b));
    audio_->setMuted(false);
    EXPECT_TRUE(audio_->playSample(b));

    // Too short for the mixer's reader, and long enough but broken.
    for (const std::string& bad : {std::string("not a wave"), std::string(),
                                   makeWave(100).substr(0, 40), std::string(64, 'x')}) {
        error.clear();
        EXPECT_EQ(audio_->loadSampleBytes(bad, &error), 0u);
        EXPECT_FALSE(error.empty());
    }
    error.clear();
    EXPECT_EQ(audio_->loadSampleFile(dir_ / "missing.wav", &error), 0u);
    EXPECT_FALSE(error.empty());
}

TEST_F(SdlAudioTest, PlaysBeyondTheSampleChannelsAreRefused) {
    int played = 0;
    for (int s = 0; s < 6; ++s) {
        const SampleId id = audio_->loadSampleBytes(makeWave(1500, 22050, 300 + 100 * s));
        ASSERT_NE(id, 0u);
        for (int i = 0; i < 3; ++i) played += audio_->playSample(id);
    }
    EXPECT_EQ(played, 16);  // sixteen channels for samples, all busy: the last two are refused
}

TEST(RecordingAudio, SamplesKeepTheirPlaybackRule) {
    RecordingAudio rec;
    SampleId a = rec.loadSampleFile("a.wav");
    SampleId b = rec.loadSampleBytes("RIFF");
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(rec.playSample(a));
    EXPECT_EQ(rec.samplePlaybacks(a), kMaxSamplePlaybacks);
    EXPECT_EQ(rec.samplePlaybacks(b), 0);
    EXPECT_EQ(rec.samplePlaybacks(999), 0);
    rec.finishSamples();
    EXPECT_EQ(rec.samplePlaybacks(a), 0);
    EXPECT_TRUE(rec.playSample(b));
    rec.setMuted(true);
    EXPECT_EQ(rec.samplePlaybacks(b), 0);
    EXPECT_FALSE(rec.playSample(b));
    rec.setMuted(false);
    rec.freeSample(b);
    EXPECT_FALSE(rec.playSample(b));
    rec.setAccept(false);
    EXPECT_EQ(rec.loadSampleFile("c.wav"), 0u);
    rec.setAccept(true);
    rec.setOffersSamples(false);
    EXPECT_FALSE(rec.offersSamples());
    EXPECT_EQ(rec.loadSampleFile("c.wav"), 0u);

    auto calls = rec.calls();
    using K = RecordingAudio::Kind;
    ASSERT_EQ(calls.size(), 14u);
    EXPECT_EQ(calls[0].kind, K::kLoadSampleFile);
    EXPECT_EQ(calls[0].data, "a.wav");
    EXPECT_EQ(calls[0].sample, a);
    EXPECT_EQ(calls[1].kind, K::kLoadSampleBytes);
    EXPECT_EQ(calls[1].data, "RIFF");
    EXPECT_EQ(calls[2].kind, K::kPlaySample);
    EXPECT_EQ(calls[2].sample, a);
    EXPECT_EQ(calls[10].kind, K::kFreeSample);
    EXPECT_EQ(calls[10].sample, b);
    EXPECT_FALSE(calls[11].result);
    EXPECT_FALSE(calls[12].result);
    EXPECT_FALSE(calls[13].result);
}

TEST(ResourceSounds, PathsUnderTheirFolder) {
    setResourceSoundFolder("");
    EXPECT_EQ(resourceSoundPath(29000), programFolder() + "resources/sound/29000.wav");
    const std::pair<const char*, const char*> cases[] = {
        {"x", "x/7.wav"}, {"x/", "x/7.wav"}, {"x\\", "x\\7.wav"}};
    for (auto& [folder, path] : cases) {
        setResourceSoundFolder(folder);
        EXPECT_EQ(resourceSoundPath(7), path) << folder;
    }
    setResourceSoundFolder("");
    EXPECT_EQ(resourceSoundPath(-1), programFolder() + "resources/sound/-1.wav");
}
