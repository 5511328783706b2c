#pragma once
// What every request to the game server gives back, the request time-outs and the
// tables that turn result codes into the texts shown to the user.
#include <cstdint>
#include <string>
#include <vector>

namespace hqlv::framework {

// The framework's own transport codes.
inline constexpr int kResultTimeout = 1030;       // no answer within the time-out
inline constexpr int kResultDisconnected = 1031;  // the connection is not connected
// The server's own text travels in the reply data.
inline constexpr int kResultServerText = 60031;
// Most framework requests treat this as success.
inline constexpr int kResultOk = 10;

inline constexpr const char* kTextTimeout = "请求处理超时。";
inline constexpr const char* kTextDisconnected = "与服务器连接断开。";
inline constexpr const char* kTextSendFailed = "请求发送失败。";

// The outcome of one request: result code, a text ready to show, and the reply data.
struct RequestResult {
    int code = 0;
    std::string text;
    std::vector<uint8_t> reply;

    const uint8_t* data() const { return reply.empty() ? nullptr : reply.data(); }
    int length() const { return static_cast<int>(reply.size()); }
};

// Seconds to wait for the answer to a request id.
int RequestTimeoutSeconds(int requestId);

// Game-server codes; other codes leave the text unchanged. Returns true when set.
bool GameResultText(std::string& text, int code);
// General codes; other codes leave the text unchanged. Returns true when set.
bool GeneralResultText(std::string& text, int code);
// Hall codes, with "操作失败！" for every other code.
void HallErrorText(std::string& text, int code);

// The 60031 text of a reply: the bytes up to the first zero or the end of the reply,
// never beyond it, turned from the wire's GBK into the program's text.
std::string ServerTextFromReply(const uint8_t* data, size_t length);

}  // namespace hqlv::framework
