#pragma once
// Starting programs and opening addresses in the user's browser. The started program runs
// on its own (it is not a child we wait for). Code above goes through the current runner,
// which tests replace with a recording double.
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::platform {

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts program with exactly one argument (an empty argument is passed as none).
    // A program without '/' or '\\' is looked up in PATH, any other path is found
    // case-insensitively. True when the program was started; false (with a diagnostic)
    // when it is missing or cannot be executed.
    virtual bool startProgram(std::string_view program, std::string_view argument) = 0;
    // Opens an http or https address in the user's browser (xdg-open). Other schemes, and
    // text that could pass for an option, are refused with false.
    virtual bool openUrl(std::string_view url) = 0;
};

// The real runner.
ProcessRunner& systemProcessRunner();
// Installs a runner for the process (null restores the real one); returns the old one.
ProcessRunner* setProcessRunner(ProcessRunner* runner);
ProcessRunner& processRunner();

inline bool startProgram(std::string_view program, std::string_view argument) {
    return processRunner().startProgram(program, argument);
}
inline bool openUrl(std::string_view url) {
    return processRunner().openUrl(url);
}

// True for the addresses openUrl accepts.
bool isOpenableUrl(std::string_view url);

// A double that records what would have been started and answers with `result`.
class RecordingProcessRunner : public ProcessRunner {
public:
    struct Call {
        std::string program;   // "" for openUrl
        std::string argument;  // the argument or the address
    };
    bool startProgram(std::string_view program, std::string_view argument) override;
    bool openUrl(std::string_view url) override;
    std::vector<Call> calls;
    bool result = true;
};

}  // namespace hqlv::platform
