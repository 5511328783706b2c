#include "framework/connection/request_result.h"

#include <cstring>

#include "framework/connection/wire_text.h"

namespace hqlv::framework {

int RequestTimeoutSeconds(int requestId) {
    switch (requestId) {
        case 200110:
        case 214000:
        case 214001:
        case 214010:
            return 30;
        case 201001:
            return 15;
        case 201125:
        case 201130:
            return 5;
        default:
            return 10;
    }
}

namespace {

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kGameTexts[] = {
    {1000, "对象不存在。"},
    {1001, "对象已存在。"},
    {1010, "请求处理失败。"},
    {10000, "不支持的请求。"},
    {210008, "用户认证失败。"},
    {210010, "游戏还没有准备好,请稍候再旁观。"},
    {210020, "没有空余的旁观位置。"},
    {210060, "进入游戏失败，请重新开始。"},
    {210070, "进入游戏失败，请重新开始。"},
    {210078, "进入游戏失败，请重新开始。"},
};

constexpr CodeText kGeneralTexts[] = {
    {1000, "对象不存在。"},
    {1001, "对象已存在。"},
    {1010, "请求处理失败。"},
    {1011, "无效的参数。"},
    {1020, "密码错误。"},
    {10000, "不支持的请求。"},
    {60017, "该功能暂不支持。"},
    {60019, "非常抱歉，系统正在维护中，请稍候再操作。"},
    {60021, "密码太简单，容易被盗号，请换一个密码。"},
    {60023, "与服务器连接已经断开。"},
    {60027, "请求失败，请您重新登录大厅进行身份验证。"},
    {60035, "没有许可！"},
    {60038, "密码位数不正确。"},
    {60039, "请先登录游戏大厅。"},
    {60040, "对不起，此房间已关闭，请到别的房间。"},
    {60043, "用户名位数不正确。"},
    {60050, "该房间暂时关闭，请换一个房间。"},
    {60060, "身份证号码无效，请准确输入您本人的身份证号码。"},
    {60061, "真实姓名无效，请准确输入您本人的真实姓名。"},
    {60078, "房间未开放。"},
    {60087, "服务器繁忙！"},
    {60101, "帐户已被禁用，请与管理员联系。"},
};

constexpr int kHallCodes[] = {60017, 60019, 60023, 60027, 60038, 60039,
                              60040, 60050, 60078, 60087, 60101};

template <size_t N>
bool Lookup(const CodeText (&table)[N], std::string& text, int code) {
    for (const CodeText& e : table) {
        if (e.code == code) {
            text = e.text;
            return true;
        }
    }
    return false;
}

}  // namespace

bool GameResultText(std::string& text, int code) {
    return Lookup(kGameTexts, text, code);
}

bool GeneralResultText(std::string& text, int code) {
    return Lookup(kGeneralTexts, text, code);
}

void HallErrorText(std::string& text, int code) {
    for (int c : kHallCodes) {
        if (c == code) {
            Lookup(kGeneralTexts, text, code);
            return;
        }
    }
    text = "操作失败！";
}

std::string ServerTextFromReply(const uint8_t* data, size_t length) {
    if (!data || length == 0) return {};
    const char* s = reinterpret_cast<const char*>(data);
    return WireToText(std::string_view(s, strnlen(s, length)));
}

}  // namespace hqlv::framework
