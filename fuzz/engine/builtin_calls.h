#pragma once
// How the builtin harness reads its input, shared with the program that writes its seeds:
// each call is a function byte, an argument count (modulo 9), and per argument a pick byte
// whose remainder by 5 says what it is (an entity id of the pool, a word, a number, a small
// signed number in the next byte, or raw text: a length byte, then that many bytes),
// followed by a byte whose remainder by 4 is 0 when the clock moves on by the next byte.
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

namespace hqlv::engine::fuzz::builtin {

inline constexpr const char* kFunctions[] = {"创建平面", "创建图片", "设置资源目录", "动态加载",
                                             "操作实体", "读取实体", "绑定实体",     "解除绑定",
                                             "贴图",     "操作图片", "操作平面",     "未知"};
inline constexpr const char* kWords[] = {
    "坐标",     "位移", "显示",  "隐藏",   "半透明",  "图层",    "图层升降",  "角度", "旋转",
    "绕点旋转", "宽高", "放缩",  "删除",   "左边",    "右边",    "上边",      "下边", "宽度",
    "高度",     "老爸", "类型",  "儿子",   "位置",    "刷新",    "全部",      "标准", "记忆显示",
    "切帧",     "跳帧", "载入",  "背景色", "播放",    "轮数",    "帧数",      "时间", "底色",
    "边界色",   "文字", "tiles", "dot",    "nothing", "dot.bmp", "tiles.bmp", "pics", ""};
inline constexpr const char* kNumbers[] = {
    "0",        "1",          "-1",         "2",          "3",           "4096",  "4097",
    "8192",     "8193",       "32767",      "32768",      "65535",       "65536", "1000000",
    "-1000001", "2147483645", "2147483646", "2147483647", "-2147483648", "nan",   "inf",
    "1e10",     "0.5",        "255",        "16711935"};

// Writes calls in the harness's encoding.
class CallWriter {
public:
    // Starts a call of the named function with `count` arguments to follow.
    CallWriter& Call(std::string_view function, int count) {
        for (size_t k = 0; k < std::size(kFunctions); ++k)
            if (function == kFunctions[k]) bytes_.push_back(uint8_t(k));
        bytes_.push_back(uint8_t(count));
        return *this;
    }
    // The n-th id of the pool (the first three: the plane and two images made first).
    CallWriter& Id(int n) { return Pick(0, n); }
    CallWriter& Word(std::string_view word) { return Pick(1, IndexOf(kWords, word)); }
    CallWriter& Number(std::string_view number) { return Pick(2, IndexOf(kNumbers, number)); }
    CallWriter& Small(int8_t v) {
        bytes_.push_back(3);
        bytes_.push_back(uint8_t(v));
        return *this;
    }
    CallWriter& Text(std::string_view text) {
        bytes_.push_back(4);
        bytes_.push_back(uint8_t(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    // Ends the call; a non-zero `advanceMs` moves the clock on.
    CallWriter& End(uint8_t advanceMs = 0) {
        bytes_.push_back(advanceMs ? 0 : 1);
        if (advanceMs) bytes_.push_back(advanceMs);
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    template <size_t N>
    static int IndexOf(const char* const (&list)[N], std::string_view s) {
        for (size_t k = 0; k < N; ++k)
            if (s == list[k]) return int(k);
        return 0;
    }
    CallWriter& Pick(int kind, int index) {
        bytes_.push_back(uint8_t(index * 5 + kind));
        return *this;
    }
    std::vector<uint8_t> bytes_;
};

}  // namespace hqlv::engine::fuzz::builtin
