#include "framework/connection/hall_entry.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "framework/connection/wire_text.h"

namespace hqlv::framework {

namespace {

// atoi as the hall expects it: leading blanks, an optional sign, digits up to the first
// other character; no digits gives 0. Out-of-range values are clamped instead of being
// undefined.
int ToInt(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' ||
                            s[i] == '\v' || s[i] == '\f'))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (neg) v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

}  // namespace

std::string BoundedWireText(std::string_view text, size_t maxBytes) {
    if (maxBytes == 0) return {};
    return WireToText(TextToWire(text, maxBytes - 1));
}

HallCommandLine SplitHallCommandLine(std::string_view text) {
    HallCommandLine out;
    if (!text.empty() && text.front() == '"') {
        // First and last character go, whatever the last one is.
        text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string_view{};
    }
    // At most 30 pieces; the remainder after the 30th "|" is not split.
    constexpr int kMaxPieces = 30;
    size_t pos = 0;
    while (true) {
        size_t bar = text.find('|', pos);
        std::string_view piece =
            bar == std::string_view::npos ? text.substr(pos) : text.substr(pos, bar - pos);
        if (out.pieces < static_cast<int>(out.field.size())) {
            out.field[out.pieces] = std::string(piece);
            out.present[out.pieces] = true;
        }
        ++out.pieces;
        if (bar == std::string_view::npos || out.pieces == kMaxPieces) break;
        pos = bar + 1;
    }
    return out;
}

HallEntry::HallEntry(std::string gameCode, int defaultPort, int versionMajor, int versionMinor,
                     bool smallScreen)
    : m_bSmallScreen(smallScreen),
      m_nVersionMajor(versionMajor),
      m_nVersionMinor(versionMinor),
      m_nDefaultPort(defaultPort),
      m_strGameCode(std::move(gameCode)) {
    ClearEntry();
}

void HallEntry::ClearEntry() {
    m_nGameID = 0;
    m_strServerHost.clear();
    m_nRoomID = 0;
    m_nHallWnd = 0;
    m_nField4 = 0;
    m_nUserID = 0;
    m_nTableNo = -1;
    m_nChairNo = -1;
    m_nLookerOn = 0;
    m_nRelaunchMark = 0;
    m_nServerPort = 0;
    m_strTitle.clear();
    m_hallRecord.fill(0);
    m_tableRecord.fill(0);
}

int HallEntry::CheckHallCommandLine(std::string_view commandLine) {
    if (m_bStandalone) return 1;
    if (ApplyHallCommandLine(commandLine)) return 1;
    if (AskStartGameHall()) LaunchGameHall();
    return 0;
}

bool HallEntry::ApplyHallCommandLine(std::string_view commandLine) {
    HallCommandLine cl = SplitHallCommandLine(commandLine);
    if (cl.pieces < 9) return false;
    auto num = [&](int i) { return cl.present[i] ? ToInt(cl.field[i]) : 0; };
    m_nGameID = num(0);
    m_strServerHost = BoundedWireText(cl.present[1] ? cl.field[1] : "", kServerHostBytes);
    m_nRoomID = num(2);
    m_nHallWnd = num(3);
    m_nField4 = num(4);
    m_nUserID = num(5);
    m_nTableNo = num(6);
    m_nChairNo = num(7);
    m_nLookerOn = num(8);
    m_nRelaunchMark = num(9);
    if (cl.present[10]) m_strTitle = BoundedWireText(cl.field[10], kTitleBytes);
    if (cl.present[11]) m_nServerPort = ToInt(cl.field[11]);
    if (m_nServerPort == 0) m_nServerPort = m_nDefaultPort;
    if (cl.present[12]) SetHallWord(4, ToInt(cl.field[12]));
    if (cl.present[13]) SetHallWord(73, ToInt(cl.field[13]));
    if (cl.present[14]) SetHallWord(77, ToInt(cl.field[14]));
    return true;
}

std::string HallEntry::BuildRelaunchArgument() {
    m_nRelaunchMark = 1;
    m_nLookerOn = 0;
    // A "|" inside the host or title would shift every later field on reading back.
    auto clean = [](std::string s) {
        std::replace(s.begin(), s.end(), '|', ' ');
        std::replace(s.begin(), s.end(), '"', ' ');
        return s;
    };
    char buf[512];
    std::snprintf(buf, sizeof buf, "\"%d|%s|%d|%lld|%d|%d|%d|%d|%d|%d|%s|%d|%d|%d|%d\"", m_nGameID,
                  clean(m_strServerHost).c_str(), m_nRoomID, static_cast<long long>(m_nHallWnd),
                  m_nField4, m_nUserID, m_nTableNo, m_nChairNo, 0, 1, clean(m_strTitle).c_str(),
                  m_nServerPort, GetCmdField12(), GetCmdField13(), GetCmdField14());
    return buf;
}

int HallEntry::RelaunchGame() {
    return StartOwnProgram(BuildRelaunchArgument());
}

int HallEntry::RelaunchWithArgs(std::string_view args) {
    m_nRelaunchMark = 1;
    m_nLookerOn = 0;
    return StartOwnProgram(std::string(args));
}

int HallEntry::HallWord(size_t word) const {
    if ((word + 1) * 4 > m_hallRecord.size()) return 0;
    const uint8_t* p = m_hallRecord.data() + word * 4;
    return static_cast<int>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                            uint32_t(p[3]) << 24);
}

void HallEntry::SetHallWord(size_t word, int value) {
    if ((word + 1) * 4 > m_hallRecord.size()) return;
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) m_hallRecord[word * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string HallEntry::HallText(size_t word) const {
    constexpr size_t kField = 64;  // the next text starts 16 words further on
    size_t off = word * 4;
    size_t n = std::min(kField, m_hallRecord.size() - off);
    const char* s = reinterpret_cast<const char*>(m_hallRecord.data() + off);
    return std::string(s, strnlen(s, n));
}

void HallEntry::SetHallRecord(const uint8_t* data, size_t length) {
    m_hallRecord.fill(0);
    if (data) std::memcpy(m_hallRecord.data(), data, std::min(length, m_hallRecord.size()));
}

void HallEntry::SetTableRecord(const uint8_t* data, size_t length) {
    m_tableRecord.fill(0);
    if (data) std::memcpy(m_tableRecord.data(), data, std::min(length, m_tableRecord.size()));
}

}  // namespace hqlv::framework
