#include "engine/core/sound.h"

#include <gtest/gtest.h>

#include "engine/core/resource_manager.h"
#include "log_capture.h"

namespace hqlv::engine {
namespace {

using Kind = platform::RecordingAudio::Kind;

class SoundTest : public testing::Test {
protected:
    void SetUp() override {
        GetResourceManager().ReleaseAll();
        platform::installAudio(rec_);
        platform::setResourceSoundFolder(log_.dir.path());
    }
    void TearDown() override {
        GetResourceManager().ReleaseAll();
        platform::setResourceSoundFolder("");
        platform::installAudio(nullptr);
    }
    std::vector<Kind> kinds() {
        std::vector<Kind> out;
        for (auto& c : rec_->calls()) out.push_back(c.kind);
        return out;
    }
    std::shared_ptr<platform::RecordingAudio> rec_ = std::make_shared<platform::RecordingAudio>();
    test::LogCapture log_;
};

TEST_F(SoundTest, SamplesLoadOnceAndPlayEachTime) {
    SoundPlayer p;
    ASSERT_TRUE(p.EnableBass());
    EXPECT_TRUE(p.PlayFile("click.wav"));
    EXPECT_TRUE(p.PlayFile("click.wav"));
    p.SetSoundDir("snd/");
    EXPECT_TRUE(p.PlayDirFile("click.wav"));
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].kind, Kind::kLoadSampleFile);
    EXPECT_EQ(calls[0].data, "click.wav");
    EXPECT_EQ(calls[1].kind, Kind::kPlaySample);
    EXPECT_EQ(calls[1].sample, calls[0].sample);
    EXPECT_EQ(calls[2].kind, Kind::kPlaySample);
    EXPECT_EQ(calls[3].data, "snd/click.wav");
    EXPECT_EQ(GetResourceManager().GetSampleCount(), 2u);
    // Other extensions are no samples; a sample that cannot load plays nothing.
    rec_->clear();
    EXPECT_FALSE(p.PlayFile("x.mid"));
    rec_->setAccept(false);
    EXPECT_FALSE(p.PlayFile("y.ogg"));
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kLoadSampleFile}));
    EXPECT_EQ(p.GetSample("y.ogg"), 0u);
}

TEST_F(SoundTest, MutedIsSilentWhileTheMusicKeepsLooping) {
    SoundPlayer p;
    ASSERT_TRUE(p.EnableBass());
    p.OpenMusic("m.mid");
    p.PlayMusic();
    p.SetMuted(true);
    rec_->clear();
    EXPECT_FALSE(p.PlayFile("a.wav"));
    EXPECT_FALSE(p.PlayDirFile("a.wav"));
    EXPECT_FALSE(p.PlayResourceSound(29000, "sound"));
    EXPECT_TRUE(rec_->calls().empty());
    rec_->finishMusic();
    p.PollMusicLoop();
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kStopMusic, Kind::kPlayMusic}));
}

TEST_F(SoundTest, SystemSamplesAreKeptUnderTheirKey) {
    log_.dir.put("29000.wav", "RIFF-wave-bytes");
    SoundPlayer p;
    EXPECT_EQ(p.GetSystemSample(29000, "sound"), 0u);  // not enabled yet
    ASSERT_TRUE(p.EnableBass());
    const platform::SampleId id = p.GetSystemSample(29000, "sound");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(GetResourceManager().FindSample("系统音效29000sound.sound"), id);
    EXPECT_TRUE(p.PlayResourceSound(29000, "sound"));
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, Kind::kLoadSampleBytes);
    EXPECT_EQ(calls[0].data, "RIFF-wave-bytes");
    EXPECT_EQ(calls[1].kind, Kind::kPlaySample);
    EXPECT_EQ(p.GetSystemSample(29001, "sound"), 0u);  // no such resource
}

TEST_F(SoundTest, SoundResourcesBackAMissingSoundFile) {
    log_.dir.put("pack/click.snd", "RIFF-from-pack");
    ResourceManager& rm = GetResourceManager();
    rm.AddResourceHashed("click.sound", log_.dir / "pack/click.snd", 0, kTypeSound, 0, 0, 0);
    SoundPlayer p;
    ASSERT_TRUE(p.EnableBass());
    rec_->setAcceptSampleFiles(false);
    const platform::SampleId viaExt = p.GetSample(log_.dir / "nowhere/click.sound");
    EXPECT_NE(viaExt, 0u);
    const platform::SampleId bare = p.GetSample("click");
    EXPECT_NE(bare, 0u);
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, Kind::kLoadSampleFile);  // the file first
    EXPECT_FALSE(calls[0].result);
    EXPECT_EQ(calls[1].kind, Kind::kLoadSampleBytes);
    EXPECT_EQ(calls[1].data, "RIFF-from-pack");
    EXPECT_EQ(calls[2].kind, Kind::kLoadSampleBytes);
    EXPECT_NE(rm.FindIdByName("click.sound"), 0u);
    // A sound file that loads needs no resource; other extensions take neither way.
    rec_->setAcceptSampleFiles(true);
    rec_->clear();
    EXPECT_NE(p.GetSample("other.sound"), 0u);
    EXPECT_EQ(p.GetSample("click.mid"), 0u);
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kLoadSampleFile}));
}

TEST_F(SoundTest, MusicRestartsWhenAPollFindsItStopped) {
    SoundPlayer p;
    p.SetSoundDir("music/");
    p.PlayMusic();  // nothing open: nothing sent
    EXPECT_TRUE(rec_->calls().empty());
    p.OpenMusic("a.mid");
    p.SetPollInterval(2);
    p.PlayMusic();
    rec_->finishMusic();
    rec_->clear();
    p.PollMusicLoop();
    p.PollMusicLoop();
    EXPECT_TRUE(rec_->calls().empty());  // two polls skipped
    p.PollMusicLoop();
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kStopMusic, Kind::kPlayMusic}));
    EXPECT_FALSE(rec_->calls()[1].flag);  // played once; the poll does the looping
    EXPECT_TRUE(p.MusicPlaying());
    rec_->clear();
    p.PollMusicLoop();
    p.PollMusicLoop();
    p.PollMusicLoop();  // still playing: nothing
    EXPECT_TRUE(rec_->calls().empty());

    // Opening another closes the old one first.
    p.OpenMusic("b.mid");
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, Kind::kCloseMusic);
    EXPECT_EQ(calls[1].kind, Kind::kOpenMusic);
    EXPECT_EQ(calls[1].data, "music/b.mid");
    EXPECT_FALSE(p.MusicPlaying());
    rec_->clear();
    p.CloseMusic();
    p.CloseMusic();
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kCloseMusic}));
    p.PollMusicLoop();
    EXPECT_EQ(rec_->calls().size(), 1u);
}

TEST_F(SoundTest, WithoutSamplesTheWaveFallbackPlays) {
    rec_->setOffersSamples(false);
    log_.dir.put("29014.wav", "RIFF-29014");
    SoundPlayer p;
    EXPECT_FALSE(p.EnableBass());
    EXPECT_EQ(p.GetSample("a.wav"), 0u);
    EXPECT_TRUE(p.PlayFile("a.wav"));
    rec_->finishWave();
    EXPECT_TRUE(p.PlayResourceSound(29014, "sound"));
    EXPECT_FALSE(p.PlayResourceSound(1, "sound"));
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, Kind::kWaveFile);
    EXPECT_TRUE(calls[0].options.async);
    EXPECT_TRUE(calls[0].options.noStop);
    EXPECT_EQ(calls[1].kind, Kind::kWaveBytes);
    EXPECT_EQ(calls[1].data, "RIFF-29014");

    platform::installAudio(platform::makeNullAudio());
    SoundPlayer q;
    EXPECT_FALSE(q.EnableBass());
    EXPECT_FALSE(q.PlayFile("a.wav"));
}

TEST_F(SoundTest, ReleasingTheManagerFreesTheSamples) {
    SoundPlayer p;
    ASSERT_TRUE(p.EnableBass());
    const platform::SampleId id = p.GetSample("a.wav");
    ASSERT_NE(id, 0u);
    GetResourceManager().ReleaseAll();
    EXPECT_EQ(GetResourceManager().GetSampleCount(), 0u);
    EXPECT_FALSE(GetResourceManager().SampleLibraryLoaded());
    EXPECT_EQ(GetResourceManager().FindSample("a.wav"), 0u);
    EXPECT_EQ(rec_->calls().back().kind, Kind::kFreeSample);
    EXPECT_EQ(rec_->calls().back().sample, id);
}

TEST_F(SoundTest, AReleasedManagerLoadsNoSampleUntilOfferedAgain) {
    log_.dir.put("29000.wav", "RIFF-wave-bytes");
    SoundPlayer p;
    ASSERT_TRUE(p.EnableBass());
    GetResourceManager().ReleaseAll();
    rec_->clear();
    // Samples loaded now would never be freed: nothing is loaded, nothing plays.
    EXPECT_FALSE(p.PlayFile("a.wav"));
    EXPECT_FALSE(p.PlayFile("a.wav"));
    EXPECT_FALSE(p.PlayResourceSound(29000, "sound"));
    EXPECT_TRUE(rec_->calls().empty());
    EXPECT_EQ(GetResourceManager().GetSampleCount(), 0u);
    ASSERT_TRUE(p.EnableBass());
    EXPECT_TRUE(p.PlayFile("a.wav"));
    EXPECT_TRUE(p.PlayResourceSound(29000, "sound"));
    EXPECT_EQ(GetResourceManager().GetSampleCount(), 2u);
}

}  // namespace
}  // namespace hqlv::engine
