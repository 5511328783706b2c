// Seeds of the hall harness: well-formed hall records built by the framework's own record
// writers (the table state with seated players, looker-on players, level titles and rooms;
// a player record; the sign answer; an encrypted text), and player entries for every
// notification the harness routes. The first byte picks the target as the harness reads it.
#include <string>

#include "builders.h"
#include "framework/hall/hall_records.h"
#include "framework/app/text_edge.h"
#include "seed_writer.h"

using namespace hqlv::framework;
using hqlv::fuzzseed::Seed;

namespace {

std::vector<uint8_t> Picked(uint8_t pick, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> v{pick};
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

}  // namespace

bool WriteSeeds() {
    using testing::Record;
    bool ok = true;
    HallTableState s;
    s.hall.setWord(3, 17);
    s.hall.setWord(70, 300);
    s.hall.setText(20, 64, Utf8ToGbk("\xE7\xBA\xA2\xE4\xB8\xAD"));
    s.table.setWord(0, 5);
    s.seated = {Record(7, 0, "a"), Record(1001, 2, "me"), Record(9, 3, "c"), Record(10, 1, "d")};
    ok &= Seed("state-seated", Picked(0, BuildHallTableState(s)));
    s.lookers = {Record(20, 0, "e", 1), Record(21, 2, "f", 1)};
    s.texts = {"novice", "expert"};
    s.hall.setWord(80, 1);
    ok &= Seed("state-lookers-texts", Picked(0, BuildHallTableState(s)));

    PlayerRecord joined = Record(33, 1, "g", 1);
    ok &= Seed("player-joined",
               Picked(1, std::vector<uint8_t>(joined.raw.begin(), joined.raw.end())));
    testing::Words left(16);
    left.w(0, 4242).w(1, 9).w(2, 5).w(3, 3);
    ok &= Seed("player-left", Picked(1, left.bytes));

    ok &= Seed("sign-answer", Picked(2, BuildHallSignAnswer({1001, "signed", 0xABCDEF01})));
    std::vector<uint8_t> plain(48);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7);
    if (auto enc = EncryptHallData(plain.data(), plain.size())) {
        ok &= Seed("encrypted", Picked(2, *enc));
    }
    // Every notification code the harness routes (pick 3 + 6 i), with a player entry.
    for (int i = 0; i < 33; ++i) {
        auto entry = testing::Entry(1001 + i, i % 4, "p" + std::to_string(i), 500, 20, 5);
        ok &= Seed("notify-" + std::to_string(i), Picked(uint8_t(3 + 6 * i), entry));
    }
    return ok;
}
