#pragma once
// The local game server program (hqlv-server) for the end-to-end runs, and the screen of a
// virtual display kept with -fbdir.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/framework/hall_run.h"

namespace hqlv::e2e {

// hqlv-server on a free port; its standard input stays open while it runs.
class ServerProcess {
public:
    bool Start(const std::vector<std::string>& extra, const std::string& dir) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, in[1]);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        log_ = dir + "/server.log";
        posix_spawn_file_actions_addopen(&fa, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> args = {HQLV_SERVER_EXE, "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, HQLV_SERVER_EXE, &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        if (rc != 0) return false;
        std::string line;  // "listening on 127.0.0.1:PORT"
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        const size_t colon = line.rfind(':');
        port_ = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
        return port_ > 0;
    }
    ~ServerProcess() {
        if (stdin_ >= 0) close(stdin_);  // end of input: the server stops
        if (pid_ > 0 && !WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 5000)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    int Port() const { return port_; }
    // Ends the server at once, as a crash would: the system closes its connections.
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    std::string Log() const { return ReadFile(log_); }
    // One command line on the server's input (see hqlv-server's usage).
    bool Command(const std::string& line) {
        const std::string l = line + "\n";
        return stdin_ >= 0 && write(stdin_, l.data(), l.size()) == ssize_t(l.size());
    }

private:
    pid_t pid_ = 0;
    int stdin_ = -1;
    int port_ = 0;
    std::string log_;
};

// The points a line of the client's claim-frame log names ("name=x,y" after "屏幕:"), the
// last such line of the text: the buttons and the own draw slot on the display.
inline std::map<std::string, std::pair<int, int>> ButtonPoints(const std::string& log) {
    std::map<std::string, std::pair<int, int>> points;
    size_t at = log.rfind("屏幕:");
    if (at == std::string::npos) return points;
    const std::string line = log.substr(at, log.find('\n', at) - at);
    std::istringstream in(line);
    for (std::string token; in >> token;) {
        const size_t eq = token.find('='), comma = token.find(',', eq);
        if (eq == std::string::npos || comma == std::string::npos) continue;
        points[token.substr(0, eq)] = {std::atoi(token.c_str() + eq + 1),
                                       std::atoi(token.c_str() + comma + 1)};
    }
    return points;
}

// A left click of xdotool at a point of the display.
inline bool XdoClick(const std::string& display, std::pair<int, int> p) {
    const std::string cmd = "DISPLAY=" + display + " xdotool mousemove " + std::to_string(p.first) +
                            " " + std::to_string(p.second) + " click 1 >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// The pointer moved by xdotool to a point of the display, without a click.
inline bool XdoMove(const std::string& display, std::pair<int, int> p) {
    const std::string cmd = "DISPLAY=" + display + " xdotool mousemove " + std::to_string(p.first) +
                            " " + std::to_string(p.second) + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// The table pane's size as the client logs it once the game is entered; false when it does
// not come in time.
inline bool WaitForTablePane(const HallRun& run, int* width, int* height, int ms = 60000) {
    return WaitFor(
        [&] {
            const std::string log = run.ClientLog();
            const size_t at = log.rfind("table pane ");
            return at != std::string::npos &&
                   std::sscanf(log.c_str() + at, "table pane %d x %d", width, height) == 2;
        },
        ms);
}

// Closes the client through the hall and waits for the hall's exit code (-1: it did not
// end). A deal still running at the table (automatic play starts the next one itself) makes
// the client ask first: its exit-request box is answered with its "强行退出" button, which
// stands at (167, 127) of the box.
inline int CloseClient(HallRun& run, const std::string& display, int ms = 60000) {
    run.Command("close");
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const int code = run.Wait(2000);
        if (code != -1 || std::chrono::steady_clock::now() > end) return code;
        const std::string find = "DISPLAY=" + display +
                                 " xdotool search --name '请求退出' getwindowgeometry 2>/dev/null";
        std::string out;
        if (FILE* p = popen(find.c_str(), "r")) {
            char buf[256];
            while (fgets(buf, sizeof buf, p)) out += buf;
            pclose(p);
        }
        int x = 0, y = 0;
        const size_t at = out.find("Position: ");
        if (at != std::string::npos &&
            std::sscanf(out.c_str() + at, "Position: %d,%d", &x, &y) == 2)
            XdoClick(display, {x + 167, y + 127});
    }
}

// A virtual display's screen (an XWD dump of 32 bits per pixel).
inline QImage ReadScreen(const std::string& path) {
    const std::string f = ReadFile(path);
    auto be = [&](size_t i) -> uint32_t {
        if (i * 4 + 4 > f.size()) return 0;
        const auto* p = reinterpret_cast<const uint8_t*>(f.data() + i * 4);
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    const uint32_t header = be(0), width = be(4), height = be(5), bpp = be(11), line = be(12),
                   colours = be(19);
    const size_t start = size_t(header) + size_t(colours) * 12;
    if (bpp != 32 || width == 0 || height == 0 || start + size_t(line) * height > f.size())
        return {};
    QImage img(int(width), int(height), QImage::Format_RGB32);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(img.scanLine(int(y)), f.data() + start + y * line, width * 4);
    return img;
}

// The whole lines a growing log has gained since read, which moves past them (a line still
// being written waits for its end).
inline std::vector<std::string> NewLines(const std::string& log, size_t& read) {
    std::vector<std::string> lines;
    for (size_t end; (end = log.find('\n', read)) != std::string::npos; read = end + 1)
        lines.push_back(log.substr(read, end - read));
    return lines;
}

// A folder of the build tree where a run keeps its pictures and files for a look afterwards.
class KeptFolder {
public:
    explicit KeptFolder(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    void Create() const { std::filesystem::create_directories(path_); }
    // A picture the run took; an empty one is a failure of the run.
    void Picture(const QImage& picture, const std::string& name) const {
        EXPECT_FALSE(picture.isNull()) << name;
        picture.save(QString::fromStdString(path_ + "/" + name));
    }
    // A file the run wrote, when it is there.
    void Copy(const std::string& from, const std::string& name) const {
        if (std::filesystem::exists(from))
            std::filesystem::copy_file(from, path_ + "/" + name,
                                       std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::string path_;
};

}  // namespace hqlv::e2e
