// The seats' voices and the table music as the build wrote them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/core/sound.h"
#include "platform/core/audio.h"
#include "program_folder.h"
#include "tools/assetgen/voices.h"
#include "tools/assetgen/wave_synth.h"

namespace hqlv::assetgen {
namespace {

using test::ProgramFolder;
using test::ReadFile;

TEST(Voices, EveryFolderHoldsEveryWordShortAndSpoken) {
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(ProgramFolder() + "sound"))
        if (entry.is_directory() && entry.path().filename() != "Classic")
            folders.push_back(entry.path().filename());
    std::sort(folders.begin(), folders.end());
    // Sorted, the kind-0 folders come first, the dialect before standard speech.
    ASSERT_EQ(folders, (std::vector<std::string>{"0fy", "0pt", "1fy", "1pt"}));
    std::vector<std::string> names = {"peng0", "peng1", "gang0", "gang1", "gang2", "chi0",
                                      "chi1",  "hu0",   "hu1",   "hua0",  "hua1"};
    for (int s = 0; s < 3; ++s)
        for (int n = 1; n <= 9; ++n) names.push_back(std::to_string(s * 10 + n));
    for (int n = 31; n <= 37; ++n) names.push_back(std::to_string(n));
    for (const auto& folder : folders)
        for (const auto& name : names) {
            SCOPED_TRACE(folder + "/" + name);
            int rate = 0;
            const auto samples = WaveSamples(
                ReadFile(ProgramFolder() + "sound/" + folder + "/" + name + ".wav"), &rate);
            ASSERT_GT(rate, 0);
            ASSERT_GT(samples.size(), size_t(rate) / 20);  // something is said
            EXPECT_LE(samples.size(), size_t(rate) * 6 / 10);
        }
    // The two kinds speak at different pitches: the same word differs.
    EXPECT_NE(ReadFile(ProgramFolder() + "sound/0pt/peng0.wav"),
              ReadFile(ProgramFolder() + "sound/1pt/peng0.wav"));
    EXPECT_NE(ReadFile(ProgramFolder() + "sound/0fy/peng0.wav"),
              ReadFile(ProgramFolder() + "sound/0pt/peng0.wav"));
}

TEST(Voices, WithoutEspeakNothingIsSpokenAndTheVoicesFail) {
    const char* path = std::getenv("PATH");
    const std::string saved = path ? path : "";
    setenv("PATH", "/nonexistent", 1);
    std::vector<ArtFile> files;
    EXPECT_TRUE(SpeakWord(VoiceFolders()[0], "碰").empty());
    EXPECT_FALSE(VoiceFiles(files));
    EXPECT_TRUE(files.empty());
    setenv("PATH", saved.c_str(), 1);
}

TEST(Voices, TrimCutsQuietEndsAndLongSpeech) {
    const int rate = 1000;
    std::vector<int16_t> s(100, 0);
    s.insert(s.end(), 50, 5000);
    s.insert(s.end(), 30, 0);
    EXPECT_EQ(TrimVoice(s, rate), std::vector<int16_t>(50, 5000));
    // Exactly the limit stays whole; one more sample is cut and faded.
    std::vector<int16_t> limit(600, 5000);
    EXPECT_EQ(TrimVoice(limit, rate), limit);
    limit.push_back(5000);
    const auto cut = TrimVoice(limit, rate);
    ASSERT_EQ(cut.size(), 600u);
    EXPECT_EQ(cut.front(), 5000);
    EXPECT_EQ(cut.back(), 0);
    EXPECT_TRUE(TrimVoice(std::vector<int16_t>(80, 400), rate).empty());  // only quiet
    EXPECT_EQ(TrimVoice(std::vector<int16_t>(3, -401), rate).size(), 3u);
}

TEST(Voices, WaveSamplesReadsOnlyWellFormedFiles) {
    const std::vector<int16_t> samples = {1, -2, 300, -32768};
    int rate = 0;
    EXPECT_EQ(WaveSamples(waveFile(samples, 8000), &rate), samples);
    EXPECT_EQ(rate, 8000);
    std::string bytes = waveFile(samples, 8000);
    EXPECT_TRUE(WaveSamples(bytes.substr(0, 11)).empty());
    std::string notWave = bytes;
    notWave[8] = 'X';
    EXPECT_TRUE(WaveSamples(notWave).empty());
    // A data size beyond the file (as a stream leaves it) reads what is there.
    std::string longSize = bytes;
    longSize[40] = char(0xFF), longSize[41] = char(0xFF);
    EXPECT_EQ(WaveSamples(longSize), samples);
    // A chunk claiming more than the file holds before any data: nothing.
    std::string badChunk = bytes;
    badChunk[16] = char(0xFF), badChunk[17] = char(0xFF), badChunk[18] = char(0xFF);
    EXPECT_TRUE(WaveSamples(badChunk).empty());
}

TEST(Voices, TheTuneIsTenSecondsOfWaveUnderTheMusicName) {
    const std::string bytes = ReadFile(ProgramFolder() + "sound/Classic/default.mp3");
    EXPECT_EQ(bytes, TuneFile());
    int rate = 0;
    const auto samples = WaveSamples(bytes, &rate);
    ASSERT_GT(rate, 0);
    EXPECT_EQ(samples.size(), size_t(rate) * kTuneSeconds);
    EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 4000);
}

TEST(Voices, TheTunePlaysThroughTheEnginePlayer) {
    auto recording = std::make_shared<platform::RecordingAudio>();
    auto previous = platform::installAudio(recording);
    engine::SoundPlayer player;
    player.SetSoundDir(ProgramFolder() + "sound/Classic/");
    player.OpenMusic("default.mp3");
    player.PlayMusic();
    EXPECT_TRUE(player.MusicPlaying());
    const auto calls = recording->calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, platform::RecordingAudio::Kind::kOpenMusic);
    EXPECT_EQ(calls[0].data, ProgramFolder() + "sound/Classic/default.mp3");
    EXPECT_TRUE(calls[0].result);
    EXPECT_EQ(calls[1].kind, platform::RecordingAudio::Kind::kPlayMusic);
    player.CloseMusic();
    platform::installAudio(previous);
    // The real backend on the dummy device opens it by its content.
    std::string error;
    if (auto sdl = platform::makeSdlAudio(&error)) {
        EXPECT_TRUE(sdl->openMusic(ProgramFolder() + "sound/Classic/default.mp3", &error)) << error;
        EXPECT_TRUE(sdl->playMusic(false));
        sdl->closeMusic();
    }
}

}  // namespace
}  // namespace hqlv::assetgen
