#include "platform/core/files.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "temp_dir.h"

using namespace hqlv::platform;

TEST(Files, FindsExistingFilesWhateverTheCaseAndSeparator) {
    TempDir t;
    t.put("Skins/Default/Skin.INI", "x");
    std::string resolved;
    ASSERT_TRUE(resolveExisting(t.path() + "\\skins\\DEFAULT\\skin.ini", &resolved));
    EXPECT_EQ(resolved, t.path() + "/Skins/Default/Skin.INI");
    EXPECT_TRUE(pathExists(t.path() + "/SKINS/default", true));
    EXPECT_FALSE(pathExists(t.path() + "/SKINS/default", false));
    EXPECT_TRUE(pathExists(t.path() + "/skins/default/SKIN.ini"));
    std::string data;
    ASSERT_TRUE(readFile(t.path() + "/skins\\default/skin.ini", &data));
    EXPECT_EQ(data, "x");
}

TEST(Files, ExactNameWinsOverCaselessMatches) {
    TempDir t;
    t.put("a.txt", "lower");
    t.put("A.TXT", "upper");
    std::string data;
    ASSERT_TRUE(readFile(t / "A.TXT", &data));
    EXPECT_EQ(data, "upper");
    ASSERT_TRUE(readFile(t / "A.txt", &data));  // no exact match: the first by byte order
    EXPECT_EQ(data, "upper");
}

TEST(Files, MissingFilesAreErrorsTheCallerSees) {
    TempDir t;
    t.put("dir/file", "1");
    std::string resolved = "untouched", error, data = "old";
    EXPECT_FALSE(resolveExisting(t / "dir/nothing", &resolved, &error));
    EXPECT_EQ(resolved, "untouched");
    EXPECT_NE(error.find("nothing"), std::string::npos);
    EXPECT_FALSE(readFile(t / "nodir/file", &data, &error));
    EXPECT_TRUE(data.empty());
    EXPECT_NE(error.find("nodir"), std::string::npos);
    EXPECT_FALSE(resolveExisting(t / "dir/file/below", &resolved, &error));  // file as folder
    EXPECT_EQ(error, "not a folder: " + t / "dir/file");
    EXPECT_FALSE(resolveExisting("", &resolved, &error));
    EXPECT_FALSE(writeFile(t / "nodir/new", "x", &error));
    EXPECT_FALSE(writeFile(t / std::string(250, 'n'), "x", &error));  // no room for ".tmp-..."
    EXPECT_EQ(error.rfind("cannot create", 0), 0u) << error;
    // A file that exists but cannot be opened (a socket, even for root).
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", (t / "sock").c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_FALSE(readFile(t / "sock", &data, &error));
    EXPECT_EQ(error.rfind("cannot open", 0), 0u) << error;
    close(fd);
}

TEST(Files, WritesIntoExistingFoldersAndReplacesCaselessly) {
    TempDir t;
    t.put("Users/Game.ini", "old");
    std::string resolved;
    ASSERT_TRUE(resolveForWrite(t / "users/new.dat", &resolved));
    EXPECT_EQ(resolved, t / "Users/new.dat");
    ASSERT_TRUE(writeFile(t / "USERS\\game.ini", "new contents"));
    EXPECT_EQ(t.get("Users/Game.ini"), "new contents");
    EXPECT_EQ(listFolder(t / "users"), std::vector<std::string>{"Game.ini"});  // no temp file left
    ASSERT_TRUE(makeFolders(t / "users/deep/er"));
    EXPECT_TRUE(pathExists(t / "Users/deep/er", true));
    struct stat st {};
    const mode_t mask = umask(0);
    umask(mask);
    ASSERT_EQ(stat((t / "Users/deep/er").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755 & ~mask);
    EXPECT_TRUE(removeFile(t / "users/GAME.INI"));
    EXPECT_FALSE(removeFile(t / "users/GAME.INI"));
    // A folder under a plain file cannot be made.
    t.put("plain", "x");
    EXPECT_FALSE(makeFolders(t / "plain/sub/deeper"));
}

TEST(Files, RelativePathsResolveFromTheWorkingFolder) {
    TempDir t;
    t.put("Dir/File", "1");
    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    ASSERT_EQ(chdir(t.path().c_str()), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"dir/FILE", "Dir/File"}, {"./DIR", "Dir"}, {".", "."}, {"DIR\\new", "Dir/new"}};
    for (auto& [in, want] : cases) {
        std::string r;
        EXPECT_TRUE(resolveForWrite(in, &r)) << in;
        EXPECT_EQ(r, want) << in;
    }
    EXPECT_FALSE(resolveExisting("dir/new", nullptr));
    EXPECT_TRUE(makeFolders("dir/sub"));
    EXPECT_EQ(listFolder("DIR"), (std::vector<std::string>{"File", "sub"}));
    ASSERT_EQ(chdir(here), 0);
}

TEST(Files, ProgramFolderHoldsTheRunningProgram) {
    const std::string& dir = programFolder();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(pathExists(dir + "test_platform"));
    // The program's own file, in that folder.
    EXPECT_EQ(programFile(), dir + "test_platform");
    EXPECT_EQ(joinPath("a\\b", "\\c"), "a/b/c");
    EXPECT_EQ(joinPath("", "\\c"), "c");
    EXPECT_EQ(normalizePath("x\\y/z"), "x/y/z");
}
