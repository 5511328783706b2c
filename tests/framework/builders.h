#pragma once
// Byte-built records for the framework's tests: entries, records and bodies written field
// by field the way the server and the hall send them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/panes/player_records.h"
#include "framework/app/text_edge.h"

namespace hqlv::framework::testing {

struct Words {
    std::vector<uint8_t> bytes;
    explicit Words(size_t size) : bytes(size, 0) {}
    Words& w(size_t i, int32_t v) {
        for (int b = 0; b < 4; ++b) bytes.at(i * 4 + b) = uint8_t(uint32_t(v) >> (8 * b));
        return *this;
    }
    Words& text(size_t off, const std::string& utf8) {
        std::string gbk = Utf8ToGbk(utf8);
        std::memcpy(bytes.data() + off, gbk.data(), gbk.size());
        return *this;
    }
    Words& raw(size_t off, const std::vector<uint8_t>& b) {
        std::memcpy(bytes.data() + off, b.data(), b.size());
        return *this;
    }
    const uint8_t* data() const { return bytes.data(); }
    size_t size() const { return bytes.size(); }
};

struct EntryLine {
    int gameId = 77;
    int roomId = 0;
    int hallWnd = 4242;
    int userId = 1001;
    int tableNo = 5;
    int chairNo = 0;
    int lookerOn = 0;
    int optionA = 0;
    int optionB = 0;
    // The hall's command line with these values.
    std::string line() const {
        return std::to_string(gameId) + "|127.0.0.1|" + std::to_string(roomId) + "|" +
               std::to_string(hallWnd) + "|0|" + std::to_string(userId) + "|" +
               std::to_string(tableNo) + "|" + std::to_string(chairNo) + "|" +
               std::to_string(lookerOn) + "|0|title|0|" + std::to_string(optionA) + "|" +
               std::to_string(optionB) + "|0";
    }
};

// A 136-byte player entry.
inline std::vector<uint8_t> Entry(int32_t uid, int32_t chair, const std::string& name,
                                  int32_t silver = 0, int32_t score = 0, int32_t table = 0,
                                  int32_t portrait = 0, int32_t level = 0) {
    Words e(136);
    e.w(0, uid).w(3, table).w(4, chair).w(6, portrait).w(21, silver).w(22, level).w(23, score);
    e.text(36, name);
    return e.bytes;
}

// A 320-byte player record as the hall sends it.
inline PlayerRecord Record(int32_t uid, int32_t chair, const std::string& name,
                           int32_t lookerOn = 0, int32_t kind = 0) {
    PlayerRecord r;
    r.setWord(PlayerRecord::kUserId, uid);
    r.setWord(PlayerRecord::kChair, chair);
    r.setWord(PlayerRecord::kLookerOn, lookerOn);
    r.setWord(PlayerRecord::kKind, kind);
    r.setText(PlayerRecord::kNameOff, PlayerRecord::kNameLen, Utf8ToGbk(name));
    return r;
}

}  // namespace hqlv::framework::testing
