#include "framework/hall/hall_records.h"

#include <openssl/evp.h>

#include <cstring>

#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "hqlv/config.h"
#include "platform/core/bytes.h"
#include "platform/core/diag.h"

namespace hqlv::framework {

using platform::ByteReader;
using platform::ByteWriter;

namespace {

std::optional<std::vector<uint8_t>> aes(const void* in, size_t len, bool encrypt) {
    if ((len % 16) != 0 || (len > 0 && !in)) {
        platform::diagf("hall record of %zu bytes is not a whole number of AES blocks", len);
        return std::nullopt;
    }
    std::vector<uint8_t> out(len);
    if (len == 0) return out;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) return std::nullopt;
    const auto* key = reinterpret_cast<const unsigned char*>(HQLV_HALL_AES_KEY);
    bool ok =
        EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) == 1;
    ok = ok && EVP_CIPHER_CTX_set_padding(ctx, 0) == 1;
    int outl = 0, tail = 0;
    ok = ok && EVP_CipherUpdate(ctx, out.data(), &outl, static_cast<const unsigned char*>(in),
                                static_cast<int>(len)) == 1;
    ok = ok && EVP_CipherFinal_ex(ctx, out.data() + outl, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok || size_t(outl + tail) != len) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::vector<uint8_t>> EncryptHallData(const void* in, size_t len) {
    return aes(in, len, true);
}
std::optional<std::vector<uint8_t>> DecryptHallData(const void* in, size_t len) {
    return aes(in, len, false);
}

void PadHallRecord(std::vector<uint8_t>& record) {
    record.resize((record.size() + 15) / 16 * 16, 0);
}

std::optional<HallTableState> ParseHallTableState(const void* data, size_t len) {
    if (!data || len < kHallStateHead) {
        platform::diagf("hall table state too short: %zu bytes", len);
        return std::nullopt;
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    HallTableState s;
    s.hall.loadFrom(p, HallRecord::kSize);
    s.table.loadFrom(p + HallRecord::kSize, TableRecord::kSize);
    int32_t seated = s.table.word(2);
    int32_t lookers = s.table.word(3);
    // The text and room blocks lie behind the records, where the two counts put them: a
    // negative count would put them back inside the records or the head, and every record
    // a positive count names must be there before them.
    if (seated < 0 || lookers < 0) {
        platform::diagf("hall table state refused: %d seated, %d lookers-on", seated, lookers);
        return std::nullopt;
    }
    size_t records = size_t(seated) + size_t(lookers);
    if ((len - kHallStateHead) / PlayerRecord::kSize < records) {
        platform::diagf("hall table state short: %zu bytes for %zu records", len, records);
        return std::nullopt;
    }
    size_t textAt = kHallStateHead + records * PlayerRecord::kSize;
    // A record that does not fit the table is refused alone: a seated record whose chair
    // lies outside the table's eight, and the lookers-on beyond the sixty-four there are
    // places for. The others stand.
    for (size_t i = 0; i < records; ++i) {
        PlayerRecord r;
        r.loadFrom(p + kHallStateHead + i * PlayerRecord::kSize, PlayerRecord::kSize);
        if (i < size_t(seated)) {
            if (r.chair() < 0 || r.chair() >= kSeatCount) {
                platform::diagf("hall table state: seated record with chair %d left out",
                                r.chair());
                continue;
            }
            s.seated.push_back(r);
        } else if (s.lookers.size() < size_t(kLookerCount)) {
            s.lookers.push_back(r);
        }
    }
    if (size_t(lookers) > size_t(kLookerCount))
        platform::diagf("hall table state: %d lookers-on, the first %d kept", lookers,
                        kLookerCount);
    const bool textFlag = s.hall.word(80) != 0;
    if (textFlag) {
        if (len - textAt < kHallTextBlock) {
            platform::diagf("hall table state lacks its text block");
            return std::nullopt;
        }
        const char* t = reinterpret_cast<const char*>(p + textAt);
        std::string_view block(t, strnlen(t, kHallTextBlock));
        SplitResult parts = SplitFields(block, 60);
        for (std::string_view piece : parts.fields) {
            if (piece.empty()) break;
            s.texts.emplace_back(piece);
        }
    }
    int32_t roomCount = s.hall.word(82);
    if (roomCount > 0) {
        size_t roomAt = textAt + kHallTextBlock;
        size_t need = size_t(roomCount) + 2;
        if (len < roomAt || (len - roomAt) / RoomRecord::kSize < need) {
            platform::diagf("hall table state: room block of %d rooms missing", roomCount);
        } else {
            ByteReader head(p + roomAt, 128);
            head.skip(8);
            int32_t count = head.i32();
            int32_t mode = head.i32();
            if (count == roomCount) {
                HallRooms rooms;
                rooms.mode = mode;
                for (int32_t i = 0; i < roomCount; ++i) {
                    RoomRecord room;
                    room.loadFrom(p + roomAt + 128 + size_t(i) * RoomRecord::kSize,
                                  RoomRecord::kSize);
                    rooms.records.push_back(room);
                }
                s.rooms = std::move(rooms);
            }
        }
    }
    return s;
}

std::vector<uint8_t> BuildHallTableState(const HallTableState& s) {
    ByteWriter w;
    HallRecord hall = s.hall;
    TableRecord table = s.table;
    table.setWord(2, int32_t(s.seated.size()));
    table.setWord(3, int32_t(s.lookers.size()));
    if (s.rooms) hall.setWord(82, int32_t(s.rooms->records.size()));
    w.bytes(hall.raw.data(), hall.raw.size());
    w.bytes(table.raw.data(), table.raw.size());
    for (const auto& r : s.seated) w.bytes(r.raw.data(), r.raw.size());
    for (const auto& r : s.lookers) w.bytes(r.raw.data(), r.raw.size());
    std::string text;
    for (size_t i = 0; i < s.texts.size(); ++i) {
        if (i) text += '|';
        text += s.texts[i];
    }
    w.fixedText(text, kHallTextBlock);
    if (s.rooms && !s.rooms->records.empty()) {
        size_t start = w.size();
        w.zeros(8);
        w.i32(int32_t(s.rooms->records.size()));
        w.i32(s.rooms->mode);
        w.zeros(128 - (w.size() - start));
        for (const auto& r : s.rooms->records) w.bytes(r.raw.data(), r.raw.size());
    }
    std::vector<uint8_t> out = w.take();
    PadHallRecord(out);
    return out;
}

std::optional<HallPlayerLeft> ParseHallPlayerLeft(const void* data, size_t len) {
    ByteReader in(data, len);
    HallPlayerLeft r{in.u32(), in.i32(), in.i32(), in.i32()};
    if (!in.ok()) {
        platform::diagf("hall player-left record too short: %zu bytes", len);
        return std::nullopt;
    }
    return r;
}

std::optional<PlayerRecord> ParseHallPlayerJoined(const void* data, size_t len) {
    PlayerRecord r;
    if (!r.loadFrom(data, len)) {
        platform::diagf("hall player record too short: %zu bytes", len);
        return std::nullopt;
    }
    return r;
}

HallReport BuildHallReport(const CGameAppData& app, uint32_t window) {
    ByteWriter w;
    w.u32(window);
    w.i32(app.GetUserID());
    w.i32(app.GetTableNo());
    w.i32(app.GetChairNo());
    w.i32(app.GetNewerServerMajor());
    w.i32(app.GetCmdField8());
    w.i32(app.IsDisconnectedWhilePlaying() ? 1 : 0);
    w.i32(app.GetGameID());
    w.i32(app.GetNewerServerMinor());
    w.i32(app.GetRoomID());
    w.zeros(188 - w.size());
    return {app.IsDisconnectedWhilePlaying() ? kHallReportDisconnected : kHallReport, w.take()};
}

std::vector<uint8_t> BuildHallText(const CGameAppData& app, uint32_t window,
                                   const std::string& utf8Text, int32_t value) {
    ByteWriter w;
    w.u32(window);
    w.i32(app.GetUserID());
    w.i32(app.GetGameID());
    w.i32(app.GetRoomID());
    w.i32(value);
    w.fixedText(Utf8ToGbkCut(utf8Text, 255), 256);
    w.zeros(544 - w.size());
    return w.take();
}

std::vector<uint8_t> BuildRoomChange(const CGameAppData& app, int32_t targetRoom) {
    ByteWriter w;
    w.i32(app.GetRoomListMode());
    w.i32(app.GetUserID());
    w.i32(app.GetGameID());
    w.i32(app.GetRoomID());
    w.i32(app.GetTableNo());
    w.i32(app.GetChairNo());
    w.i32(targetRoom);
    w.zeros(160 - w.size());
    return w.take();
}

std::optional<HallSignAnswer> ParseHallSignAnswer(const void* data, size_t len) {
    ByteReader in(data, len);
    HallSignAnswer a;
    a.userId = in.i32();
    in.skip(4);
    a.sign = in.fixedText(255);
    in.seek(268);
    a.requestId = in.u32();
    if (!in.ok()) {
        platform::diagf("hall sign answer too short: %zu bytes", len);
        return std::nullopt;
    }
    return a;
}

std::vector<uint8_t> BuildHallSignAnswer(const HallSignAnswer& a) {
    ByteWriter w;
    w.i32(a.userId);
    w.zeros(4);
    w.fixedText(GbkCut(a.sign, 255), 256);
    w.zeros(268 - w.size());
    w.u32(a.requestId);
    return w.take();
}

}  // namespace hqlv::framework
