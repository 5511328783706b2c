#include <algorithm>
#include <sstream>

#include "tools/server/mahjong/deal.h"

namespace hqlv::server::mj {

namespace {

int32_t WordOf(const std::vector<uint8_t>& b, size_t w) {
    if (w * 4 + 4 > b.size()) return 0;
    return static_cast<int32_t>(b[w * 4] | b[w * 4 + 1] << 8 | b[w * 4 + 2] << 16 |
                                static_cast<uint32_t>(b[w * 4 + 3]) << 24);
}

void List(std::ostringstream& out, const char* name, const std::vector<int32_t>& ids) {
    out << "  " << name << ":";
    for (int32_t id : ids) out << ' ' << id;
    out << '\n';
}

// "  melds: peng(1 2 3)<2 ...": a chair's melds, list by list, each with its tiles and giver.
void Melds(std::ostringstream& out, const rules::CMJTableEx& t, int chair) {
    static const char* const kKinds[] = {"peng", "chi", "minggang", "angang", "bugang"};
    out << "  melds:";
    for (int l = 0; l < 5; ++l)
        for (const auto& m : t.Melds(chair, static_cast<rules::MeldList>(l))) {
            out << ' ' << kKinds[l] << '(';
            bool first = true;
            for (int32_t id : m.tiles)
                if (id >= 0) out << (first ? "" : " ") << id, first = false;
            out << ")<" << m.source;
        }
    out << '\n';
}

}  // namespace

std::string DealText(const Deal& deal) {
    const rules::CMJTableEx& t = deal.Table();
    const std::vector<uint8_t>& r = deal.Result();
    std::ostringstream out;
    out << "deal " << t.DealsPlayed() << " banker " << t.Banker() << '\n';
    for (int c = 0; c < kChairs; ++c) {
        out << "chair " << c << " user " << deal.UserId(c) << '\n';
        Melds(out, t, c);
        List(out, "discards", t.Discards(c));
        List(out, "flowers", t.Flowers(c));
        List(out, "hand", deal.HandBeforeEnd(c));
        std::vector<int32_t> laid;
        for (size_t k = 0; k < 32; ++k) {
            const int32_t id = WordOf(r, 212 + 32 * static_cast<size_t>(c) + k);
            if (id < 0) break;
            if (k < static_cast<size_t>(WordOf(r, 208 + static_cast<size_t>(c))))
                laid.push_back(id);
        }
        List(out, "laid", laid);
    }
    List(out, "wall", deal.Taken());
    out << "result: flags " << WordOf(r, 0) << " winners " << WordOf(r, 175) << " points";
    for (int c = 0; c < kChairs; ++c) out << ' ' << WordOf(r, 14 + static_cast<size_t>(c));
    out << " won";
    for (int c = 0; c < kChairs; ++c) out << ' ' << WordOf(r, 165 + static_cast<size_t>(c));
    out << "\n\n";
    return out.str();
}

std::string StateText(const Deal& deal, int chair, bool looker, const std::vector<uint8_t>& state) {
    const rules::CMJTableEx& t = deal.Table();
    std::ostringstream out;
    out << "state chair " << chair << " looker " << (looker ? 1 : 0) << '\n';
    out << "  turn: " << WordOf(state, 13) << '\n';
    out << "  status: " << WordOf(state, 14) << '\n';
    out << "  seconds: " << WordOf(state, 18) << ' ' << WordOf(state, 39) << '\n';
    List(out, "wall", deal.Taken());
    std::vector<int32_t> absent;
    for (size_t p = 0; p < t.Tiles().size(); ++p)
        if (t.Tiles()[p].status != rules::kTileInWall) absent.push_back(static_cast<int32_t>(p));
    List(out, "wallabsent", absent);
    for (int c = 0; c < kChairs; ++c) {
        out << "chair " << c << " user " << deal.UserId(c) << '\n';
        Melds(out, t, c);
        List(out, "discards", t.Discards(c));
        List(out, "flowers", t.Flowers(c));
        out << "  held: " << t.CountHeld(c) << '\n';
        std::vector<int32_t> hand;
        if (c == chair && !looker) {
            int32_t held[32];
            const int32_t n = t.ListHeld(c, held, 32);
            hand.assign(held, held + std::max(n, 0));
        }
        List(out, "hand", hand);
    }
    out << '\n';
    return out.str();
}

}  // namespace hqlv::server::mj
