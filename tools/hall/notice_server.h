#pragma once
// The platform's notice web server as the stand-in hall plays it: on 127.0.0.1, it answers
// GET of /notify/game/<game>.txt with the game's notice (a "<notify>" text in GBK) and every
// other path with 404. Each connection gets one answer and is closed. The hall record names
// its address as the notice base, so the client's periodic notice download finds a notice.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace hqlv::tools {

class NoticeServer {
public:
    // The longest request head answered, its blank line included; a longer one is dropped.
    static constexpr size_t kHeadLimit = 8192;
    using LogFn = std::function<void(const std::string&)>;
    NoticeServer(int game, std::string notice, LogFn log = {});
    ~NoticeServer();
    NoticeServer(const NoticeServer&) = delete;
    NoticeServer& operator=(const NoticeServer&) = delete;

    // Listens on a free port of 127.0.0.1 and serves on a thread of its own.
    bool Start();
    void Stop();
    uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>", the base the client adds the path to.
    std::string Base() const;
    int Served() const { return served_.load(); }

    // The answer to one request head (pure): the status line, headers and body.
    static std::string Answer(const std::string& head, int game, const std::string& notice,
                              int* status = nullptr);

private:
    void Serve();
    void Reply(int fd);

    int game_;
    std::string notice_;
    LogFn log_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> served_{0};
    std::thread thread_;
};

}  // namespace hqlv::tools
