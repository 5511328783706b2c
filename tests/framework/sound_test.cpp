// The program's wave resources: the generator's files, their lookup by id, the Windows
// flags mapped onto the audio service, the shared sound folder, and the message box's
// chime.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "framework/app/shared_utils.h"
#include "framework/panes/msgbox_dlg.h"
#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform_install.h"

namespace hqlv::framework {
namespace {

using platform::RecordingAudio;
using Kind = RecordingAudio::Kind;

const std::string kBuild = HQLV_BUILD_DIR;
const std::string kGenerator = kBuild + "/tools/assetgen/hqlv-assetgen";
const std::string kClientSounds = kBuild + "/mahjong/resources/sound";

std::set<int> expectedIds() {
    std::set<int> ids;
    for (int id = 29000; id <= 29015; ++id) ids.insert(id);
    for (int id = 29100; id <= 29108; ++id) ids.insert(id);
    return ids;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(s[at + i]);
    return v;
}

// A short mono 16-bit wave whose tone depends on the seed.
std::string makeWave(int seed) {
    auto put = [](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    };
    const uint32_t frames = 2205;
    std::string s = "RIFF";
    put(s, 36 + frames * 2, 4);
    s += "WAVEfmt ";
    put(s, 16, 4);
    put(s, 1, 2);
    put(s, 1, 2);
    put(s, 22050, 4);
    put(s, 44100, 4);
    put(s, 2, 2);
    put(s, 16, 2);
    s += "data";
    put(s, frames * 2, 4);
    for (uint32_t i = 0; i < frames; ++i)
        put(s, uint16_t(int16_t(8000 * std::sin(i * (0.05 + (seed % 200) * 0.001)))), 2);
    return s;
}

int run(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The generator writes into a folder of the test's own.
class SoundResources : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path().toStdString() + "/sound";
        generated_ = std::filesystem::exists(kGenerator);
        if (generated_) {
            ASSERT_EQ(run(kGenerator + " " + folder_), 0);
        } else {
            // A build without the programs: waves of the test's own stand in.
            std::filesystem::create_directories(folder_);
            for (int id : expectedIds())
                std::ofstream(folder_ + "/" + std::to_string(id) + ".wav", std::ios::binary)
                    << makeWave(id);
        }
        rec_ = std::make_shared<RecordingAudio>();
        previous_ = platform::installAudio(rec_);
        SetResourceSoundFolder(folder_);
    }
    void TearDown() override {
        SetResourceSoundFolder("");
        if (rec_) platform::installAudio(previous_);
    }
    QTemporaryDir dir_;
    std::string folder_;
    bool generated_ = false;
    std::shared_ptr<RecordingAudio> rec_;
    std::shared_ptr<platform::Audio> previous_;
};

TEST_F(SoundResources, GeneratorWritesOneValidPcmWavePerId) {
    if (!generated_) GTEST_SKIP() << "no " << kGenerator;
    std::set<int> found;
    std::set<std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(entry.path().extension(), ".wav") << name;
        found.insert(std::stoi(name));
        const std::string w = slurp(entry.path().string());
        ASSERT_GT(w.size(), 44u) << name;
        EXPECT_EQ(w.substr(0, 4), "RIFF") << name;
        EXPECT_EQ(le(w, 4, 4), w.size() - 8) << name;
        EXPECT_EQ(w.substr(8, 8), "WAVEfmt ") << name;
        EXPECT_EQ(le(w, 16, 4), 16u) << name;  // format chunk size
        EXPECT_EQ(le(w, 20, 2), 1u) << name;   // PCM
        EXPECT_EQ(le(w, 22, 2), 1u) << name;   // mono
        const uint32_t rate = le(w, 24, 4);
        EXPECT_GE(rate, 8000u) << name;
        EXPECT_EQ(le(w, 28, 4), rate * 2) << name;  // bytes per second
        EXPECT_EQ(le(w, 32, 2), 2u) << name;        // bytes per frame
        EXPECT_EQ(le(w, 34, 2), 16u) << name;       // bits
        EXPECT_EQ(w.substr(36, 4), "data") << name;
        const uint32_t data = le(w, 40, 4);
        EXPECT_EQ(data, w.size() - 44) << name;
        EXPECT_EQ(data % 2, 0u) << name;
        // Short sounds that are not silence.
        EXPECT_LT(data / 2, rate * 2) << name;
        int loud = 0;
        for (size_t i = 44; i + 1 < w.size(); i += 2)
            if (std::abs(int16_t(le(w, i, 2))) > 2000) ++loud;
        EXPECT_GT(loud, 100) << name;
        contents.insert(w);
    }
    EXPECT_EQ(found, expectedIds());
    EXPECT_EQ(contents.size(), found.size()) << "every resource sounds different";

    // The build put the same files beside the client.
    if (std::filesystem::exists(kClientSounds)) {
        for (int id : expectedIds())
            EXPECT_EQ(slurp(kClientSounds + "/" + std::to_string(id) + ".wav"),
                      slurp(folder_ + "/" + std::to_string(id) + ".wav"))
                << id;
    }
}

TEST_F(SoundResources, GeneratorRefusesBadArguments) {
    if (!generated_) GTEST_SKIP() << "no " << kGenerator;
    EXPECT_EQ(run(kGenerator + " 2>/dev/null"), 2);
    // A folder below a file cannot be made.
    std::ofstream(folder_ + "/blocker") << "x";
    EXPECT_EQ(run(kGenerator + " " + folder_ + "/blocker/sub 2>/dev/null"), 1);
}

TEST_F(SoundResources, EveryResourcePlaysOnTheRealDevice) {
    platform::installAudio(nullptr);
    std::string error;
    auto sdl = platform::makeSdlAudio(&error);
    ASSERT_TRUE(sdl) << error;
    for (int id : expectedIds()) {
        std::string bytes = slurp(GetResourceSoundPath(id));
        EXPECT_TRUE(sdl->playWaveBytes(bytes, {}, &error)) << id << ": " << error;
        EXPECT_TRUE(sdl->wavePlaying()) << id;
    }
}

TEST_F(SoundResources, ResourceIdsResolveToTheirFilesFromMemory) {
    EXPECT_EQ(GetResourceSoundPath(29014), folder_ + "/29014.wav");
    ASSERT_TRUE(PlayResourceSound(29014));
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, Kind::kWaveBytes);
    EXPECT_EQ(calls[0].data, slurp(folder_ + "/29014.wav"));
    EXPECT_TRUE(calls[0].options.async);
    EXPECT_TRUE(calls[0].options.noStop);

    // While that one sounds, another resource sound does not cut it off...
    EXPECT_FALSE(PlayResourceSound(29010));
    // ...unless the caller's flags leave out no-stop.
    EXPECT_TRUE(PlayResourceSoundEx(29010, kSndAsync));
    // Flags 0 wait for the end; 0x11 is asynchronous and no-stop.
    rec_->finishWave();
    EXPECT_TRUE(PlayResourceSoundEx(29100, 0));
    EXPECT_TRUE(PlayResourceSoundEx(29104, 0x11));
    calls = rec_->calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2].data, slurp(folder_ + "/29010.wav"));
    EXPECT_TRUE(calls[2].options.async);
    EXPECT_FALSE(calls[2].options.noStop);
    EXPECT_EQ(calls[3].kind, Kind::kWaveBytes);
    EXPECT_FALSE(calls[3].options.async);
    EXPECT_FALSE(calls[3].options.noStop);
    EXPECT_TRUE(calls[4].options.async && calls[4].options.noStop);
    // A file-name flag given by mistake does not turn the resource's bytes into a path.
    EXPECT_TRUE(PlayResourceSoundEx(29001, kSndAsync | kSndFileName));
    EXPECT_EQ(rec_->calls().back().kind, Kind::kWaveBytes);

    // Ids the program does not carry reach nothing.
    rec_->clear();
    for (int id : {28999, 29016, 29099, 29109, 0, -29014})
        EXPECT_FALSE(PlayResourceSoundEx(id, kSndAsync)) << id;
    EXPECT_TRUE(rec_->calls().empty());
    // A broken resource is refused by the service, not played.
    std::ofstream(folder_ + "/29005.wav", std::ios::trunc) << "garbage";
    rec_->setAccept(false);
    EXPECT_FALSE(PlayResourceSound(29005));
}

TEST_F(SoundResources, WaveFlagsMapOntoTheService) {
    EXPECT_TRUE(PlayWave("/x/a.wav", kSndFileName | kSndAsync));
    EXPECT_TRUE(PlayWave("/x/b.wav", kSndMemory | kSndFileName | kSndAsync));
    rec_->finishWave();
    EXPECT_TRUE(PlayWave("RIFF....", kSndMemory | kSndNoStop));
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, Kind::kWaveFile);
    EXPECT_EQ(calls[0].data, "/x/a.wav");
    EXPECT_EQ(calls[1].kind, Kind::kWaveFile);
    EXPECT_EQ(calls[2].kind, Kind::kWaveBytes);
    EXPECT_FALSE(calls[2].options.async);
    EXPECT_TRUE(calls[2].options.noStop);
}

TEST_F(SoundResources, ShareSoundsComeFromThePlatformRoot) {
    const std::string root = dir_.path().toStdString() + "/platform";
    const std::string sys = dir_.path().toStdString() + "/system";
    std::filesystem::create_directories(root + "/Share/Sound/common");
    std::filesystem::create_directories(sys);
    std::filesystem::copy_file(folder_ + "/29010.wav", root + "/Share/Sound/common/HIT.wav");
    const testing::SystemFolderVariable variable(sys);

    // No platform root known: nothing plays.
    EXPECT_FALSE(PlayShareSound("common", "hit.wav", 17));
    EXPECT_TRUE(rec_->calls().empty());

    std::ofstream(sys + "/vmkd.ini") << "[SYSTEM]\r\nExePath=" << root << "/GameHall.exe\r\n";
    EXPECT_TRUE(PlayShareSound("common", "hit.wav", 17));
    auto calls = rec_->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, Kind::kWaveFile);
    EXPECT_EQ(calls[0].data, root + "/share\\sound\\common\\hit.wav");
    EXPECT_TRUE(calls[0].options.async);
    EXPECT_TRUE(calls[0].options.noStop);

    // On the real device the Windows-style path finds the file whatever its case.
    platform::installAudio(nullptr);
    {
        std::string error;
        auto sdl = platform::makeSdlAudio(&error);
        ASSERT_TRUE(sdl) << error;
        platform::installAudio(std::shared_ptr<platform::Audio>(std::move(sdl)));
    }
    EXPECT_TRUE(PlayShareSound("common", "hit.wav", kSndAsync));
    EXPECT_FALSE(PlayShareSound("common", "missing.wav", kSndAsync));
    platform::shutdownAudio();
}

// Runs in a child process of its own: the box needs an application object, and this
// test program's other window tests make theirs.
int messageBoxChimeCheck(const std::string& folder) {
    static int argc = 1;
    static char name[] = "sound_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int failures = 0;
    auto check = [&](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "failed: %s\n", what);
            ++failures;
        }
    };
    {
        QApplication app(argc, argv);
        auto rec = std::make_shared<RecordingAudio>();
        platform::installAudio(rec);
        SetResourceSoundFolder(folder);
        {
            CGameMsgBoxDlg box;
            box.SetText("声音");
            check(rec->calls().empty(), "no sound before the box is built");
            box.InitDialog();
            auto calls = rec->calls();
            check(calls.size() == 1, "one sound when the box comes up");
            if (!calls.empty()) {
                check(calls[0].kind == Kind::kWaveBytes, "played from memory");
                check(calls[0].data == slurp(folder + "/29014.wav"), "the chime 29014");
                check(calls[0].options.async && calls[0].options.noStop, "async, no stop");
            }
        }
        // A second box while the chime still sounds leaves it alone.
        {
            CGameMsgBoxModelessDlg box(nullptr, nullptr, nullptr);
            box.InitDialog();
            auto calls = rec->calls();
            check(calls.size() == 2 && !calls.back().result, "second chime refused by no-stop");
        }
        SetResourceSoundFolder("");
        platform::installAudio(nullptr);
    }
    return failures;
}

TEST_F(SoundResources, MessageBoxPlaysItsChime) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(messageBoxChimeCheck(folder_)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hqlv::framework
