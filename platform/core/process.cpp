#include "platform/core/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/core/diag.h"
#include "platform/core/files.h"

extern char** environ;

namespace hqlv::platform {
namespace {

// Runs program detached (double fork, so no zombie is left) and reports whether exec
// succeeded, through a close-on-exec pipe.
bool spawnDetached(const std::string& program, const std::string& argument, bool searchPath) {
    std::vector<std::string> args{program};
    if (!argument.empty()) args.push_back(argument);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        close(fds[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild < 0) {
            int e = errno;
            ssize_t w = write(fds[1], &e, sizeof e);
            (void)w;
            _exit(1);
        }
        if (grandchild > 0) _exit(0);
        if (searchPath) {
            execvp(argv[0], argv.data());
        } else {
            execv(argv[0], argv.data());
        }
        int e = errno;
        ssize_t w = write(fds[1], &e, sizeof e);
        (void)w;
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    do {
        n = read(fds[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    close(fds[0]);
    if (n > 0) {
        diagf("process: cannot start %s: %s", program.c_str(), std::strerror(err));
        return false;
    }
    return true;
}

class SystemRunner : public ProcessRunner {
public:
    bool startProgram(std::string_view program, std::string_view argument) override {
        std::string prog(program);
        bool search = prog.find('/') == std::string::npos && prog.find('\\') == std::string::npos;
        if (!search) {
            std::string error;
            if (!resolveExisting(prog, &prog, &error)) {
                diagf("process: %s", error.c_str());
                return false;
            }
        }
        return spawnDetached(prog, std::string(argument), search);
    }
    bool openUrl(std::string_view url) override {
        if (!isOpenableUrl(url)) {
            diagf("process: refusing to open \"%.*s\"",
                  static_cast<int>(std::min<size_t>(url.size(), 200)), url.data());
            return false;
        }
        return spawnDetached("xdg-open", std::string(url), true);
    }
};

std::atomic<ProcessRunner*> g_runner{nullptr};

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

// A web page of a local web base (a platform whose pages lie in a folder): an absolute
// file address of an existing ordinary file named .htm or .html, without a query.
static bool isLocalPage(std::string_view url) {
    if (!startsWithNoCase(url, "file:///")) return false;
    const std::string path(url.substr(7));
    if (path.find_first_of("?#%") != std::string::npos) return false;
    const size_t dot = path.rfind('.');
    const std::string_view ext =
        dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    const bool page = (ext.size() == 4 || ext.size() == 5) && startsWithNoCase(ext, ".htm") &&
                      (ext.size() == 4 || ext[4] == 'l' || ext[4] == 'L');
    if (!page) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isOpenableUrl(std::string_view url) {
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    if (startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://")) return true;
    return isLocalPage(url);
}

ProcessRunner& systemProcessRunner() {
    static SystemRunner runner;
    return runner;
}

ProcessRunner* setProcessRunner(ProcessRunner* runner) {
    ProcessRunner* old = g_runner.exchange(runner);
    return old ? old : &systemProcessRunner();
}

ProcessRunner& processRunner() {
    ProcessRunner* r = g_runner.load();
    return r ? *r : systemProcessRunner();
}

bool RecordingProcessRunner::startProgram(std::string_view program, std::string_view argument) {
    calls.push_back(Call{std::string(program), std::string(argument)});
    return result;
}

bool RecordingProcessRunner::openUrl(std::string_view url) {
    calls.push_back(Call{"", std::string(url)});
    return result && isOpenableUrl(url);
}

}  // namespace hqlv::platform
