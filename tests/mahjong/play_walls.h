#pragma once
// The end-to-end plays' shared pieces: the sanitizer's options under X, the tools, the
// server's words, the fixed walls of the local server ("test.ini") and the probes that find a
// wall on which a clicking player's plan plays out, and the comparison of screen pictures.
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mahjong/scene/game_scene.h"
#include "rules/common.h"
#include "tools/server/mahjong/deal.h"

namespace hqlv::mahjong::walls {

namespace mj = server::mj;

inline bool Tools() {
    return access("/usr/bin/Xvfb", X_OK) == 0 && access("/usr/bin/xdotool", X_OK) == 0;
}

inline int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

// Of the first `deals` deals of a server's record, those in which chair 0 discarded.
inline int DealsChairZeroPlayed(const std::string& records, int deals) {
    std::istringstream in(records);
    int deal = -1, played = 0;
    bool chair0 = false;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("deal ", 0) == 0) ++deal, chair0 = false;
        if (l.rfind("chair ", 0) == 0) chair0 = l.rfind("chair 0", 0) == 0;
        if (chair0 && l.find("discards:") != std::string::npos && l.size() > 14 && deal < deals)
            ++played;
    }
    return played;
}

inline int32_t W(const std::vector<uint8_t>& b, size_t i) {
    int32_t v = 0;
    if (i * 4 + 4 <= b.size()) std::memcpy(&v, b.data() + i * 4, 4);
    return v;
}

inline std::vector<uint8_t> Body(size_t bytes, std::initializer_list<int32_t> words) {
    std::vector<uint8_t> b(bytes, 0);
    const int32_t head[4] = {100, 0, 0, 0};
    std::memcpy(b.data(), head, sizeof head);
    size_t i = 4;
    for (int32_t v : words) {
        std::memcpy(b.data() + i * 4, &v, 4);
        ++i;
    }
    return b;
}

inline void WriteWall(const std::string& folder, const std::vector<int32_t>& wall) {
    std::ofstream out(folder + "/test.ini");
    out << "[Card]\nMade=1\nTotal=";
    for (int32_t id : wall) out << id << "|";
    out << "\n";
}

// A deal of the local server on the seed, started: on the fixed wall of `wallFolder` (empty: a
// shuffled one), the chairs of the bit set `driven` played by the server at once, its notes to
// `sink`; none when it did not start.
inline std::unique_ptr<mj::Deal> StartDeal(uint32_t seed, const std::string& wallFolder,
                                           uint32_t driven, mj::Deal::Clock clock,
                                           mj::Deal::Sink sink) {
    mj::DealOptions o;
    o.thinkMs = 0;
    o.testIniFolder = wallFolder;
    rules::SeedRandom(seed);
    auto d = std::make_unique<mj::Deal>(o, std::move(clock), std::move(sink));
    for (int c = 0; c < mj::kChairs; ++c) d->SetSeat(c, 1000 + c, (driven >> c) & 1);
    return d->Start() ? std::move(d) : nullptr;
}

// Writes into `folder` a wall on which the seed's banker is dealt the 14 tiles (the first
// in the place the deal lists first, and so on) and answers that banker's chair; -1 when the
// deal does not start or deals him otherwise.
inline int DealTheBanker(const std::string& folder, uint32_t seed, const int32_t (&tiles)[14]) {
    // On the wall 0, 1, 2, ... the ids dealt are the places dealt.
    std::vector<int32_t> wall(136);
    for (int32_t k = 0; k < 136; ++k) wall[size_t(k)] = k;
    WriteWall(folder, wall);
    const auto probe = StartDeal(seed, folder, 0, [] { return uint64_t(1000); }, {});
    if (!probe) return -1;
    const int banker = probe->Turn();
    int32_t places[32];
    if (probe->Table().ListHeld(banker, places, 32) != 14) return -1;
    for (size_t k = 0; k < 14; ++k)
        std::swap(wall[size_t(places[k])], *std::find(wall.begin(), wall.end(), tiles[k]));
    WriteWall(folder, wall);
    return banker;
}

// The key by which the client sorts a tile into the own hand (greater keys first from the
// hand's right end); tiles the client takes for jokers go to its left end.
inline int ClientKey(int32_t id) {
    static CMJGameScene2 keys;
    return keys.IsJokerTile(id) && !keys.SortsJokers() ? -1 : keys.SortKey(id);
}

// What chair 0 did in a probe of a deal, played as the clicking player plays it: the
// strongest claim offered (win, gang, peng; else pass), the drawn tile played at once unless
// it wins, after a peng the tile the client moves into its draw slot (its highest kind).
struct ProbeRun {
    std::vector<std::string> events;
    int replacementAt = -1;  // the wall position of the first gang's replacement
    bool won = false;
    int banker = -1;
};

inline ProbeRun Probe(const mj::DealOptions& o, uint32_t seed) {
    ProbeRun out;
    rules::SeedRandom(seed);
    uint64_t now = 1000;
    std::vector<mj::Note> notes;
    mj::Deal d(
        o, [&] { return now; }, [&](const mj::Note& n) { notes.push_back(n); });
    for (int c = 0; c < mj::kChairs; ++c) d.SetSeat(c, 100 + c, c != 0);
    if (!d.Start()) return out;
    out.banker = d.Turn();
    auto held = [&] {
        int32_t h[32];
        const int32_t n = d.Table().ListHeld(0, h, 32);
        return std::vector<int32_t>(h, h + n);
    };
    auto discard = [&](int32_t tile) {
        std::vector<uint8_t> b = Body(108, {0, 0, 0, 100});
        const int32_t words[3] = {1, 1, tile};
        std::memcpy(b.data() + 20 * 4, &words[0], 4);
        std::memcpy(b.data() + 25 * 4, &words[1], 4);
        std::memcpy(b.data() + 26 * 4, &words[2], 4);
        d.Request(0, 221080, b);
    };
    auto selfWin = [&](int32_t tile) {
        if (d.Request(0, 229080, Body(48, {0, tile, 2})).code == mj::kDone) {
            out.events.push_back("hu");
            return true;
        }
        return false;
    };
    size_t seen = 0;
    for (int guard = 0; guard < 20000 && d.Running(); ++guard) {
        while (seen < notes.size()) {
            const mj::Note n = notes[seen++];
            if (!(n.to & 1) || n.code != 221170) continue;
            const int32_t from = W(n.body, 1), tile = W(n.body, 21), f = W(n.body, 6);
            if (!f || from == 0) continue;
            std::vector<int32_t> same;
            for (int32_t id : held())
                if (d.Table().KindIndexOf(id) == d.Table().KindIndexOf(tile)) same.push_back(id);
            if (f & 8) {
                if (d.Request(0, 229080, Body(48, {from, tile, 1})).code == mj::kDone)
                    out.events.push_back("hu");
            } else if ((f & 2) && same.size() == 3) {
                auto body = Body(64, {from, tile, same[0], same[1], same[2], 1});
                d.Request(0, 229015, body);
                const mj::Answer a = d.Request(0, 229045, body);
                out.events.push_back("gang");
                if (a.code == mj::kDone) {
                    const int32_t rep = W(a.data, 1);
                    if (out.replacementAt < 0) out.replacementAt = W(a.data, 3);
                    if (!((W(a.data, 2) & 8) && selfWin(rep))) discard(rep);
                }
            } else if ((f & 1) && same.size() >= 2) {
                auto body = Body(64, {from, tile, same[0], same[1], -1});
                d.Request(0, 229010, body);
                d.Request(0, 229025, body);
                out.events.push_back("peng");
            } else {
                d.Request(0, 229005, Body(40, {from, tile}));
                out.events.push_back("pass");
            }
        }
        if (d.Running() && d.Turn() == 0 && d.AwaitsDraw()) {
            const mj::Answer a = d.Request(0, 229000, Body(96, {0, 0, 0, 100}));
            const int32_t tile = W(a.data, 1);
            if (a.code == mj::kDone && !((W(a.data, 3) & 8) && selfWin(tile))) discard(tile);
        }
        if (d.Running() && d.Turn() == 0 && d.AwaitsDiscard()) {
            std::vector<int32_t> h = held();
            if (h.empty()) break;
            const auto top = std::max_element(h.begin(), h.end(), [&](int32_t a, int32_t b) {
                return ClientKey(a) < ClientKey(b);
            });
            discard(*top);
        }
        now += 100;
        d.Tick();
    }
    out.won = d.Over() && W(d.Result(), 165) >= 1;
    return out;
}

// The dealt positions by chair and the order in which the wall's positions are drawn from
// its head, from a deal of server-driven players on the wall 0, 1, 2, ...
struct WallPlan {
    std::vector<int32_t> dealt[mj::kChairs];
    std::vector<int32_t> headOrder;
    std::map<int, std::vector<int32_t>> ofKind;
    int banker = -1;
};

inline WallPlan Plan(const std::string& folder, uint32_t seed) {
    WallPlan p;
    std::vector<int32_t> identity(136);
    for (int32_t k = 0; k < 136; ++k) identity[size_t(k)] = k;
    WriteWall(folder, identity);
    mj::DealOptions o;
    o.testIniFolder = folder;
    o.thinkMs = 0;
    rules::SeedRandom(seed);
    uint64_t now = 1000;
    std::vector<mj::Note> notes;
    mj::Deal d(
        o, [&] { return now; }, [&](const mj::Note& n) { notes.push_back(n); });
    for (int c = 0; c < mj::kChairs; ++c) d.SetSeat(c, 100 + c, true);
    if (!d.Start()) return p;
    p.banker = d.Turn();
    for (int c = 0; c < mj::kChairs; ++c) {
        int32_t h[32];
        const int32_t n = d.Table().ListHeld(c, h, 32);
        p.dealt[c].assign(h, h + n);
    }
    for (int32_t id = 0; id < 136; ++id) p.ofKind[d.Table().KindIndexOf(id)].push_back(id);
    for (int guard = 0; guard < 5000 && d.Running(); ++guard) {
        now += 100;
        d.Tick();
    }
    for (const mj::Note& n : notes)
        if (n.code == 229160) {
            const int32_t pos = W(n.body, 2);
            if (std::find(p.headOrder.begin(), p.headOrder.end(), pos) == p.headOrder.end())
                p.headOrder.push_back(pos);
        }
    // Positions the probe's deal never reached follow in their order.
    for (int32_t pos = 0; pos < 136; ++pos) {
        bool dealt = false;
        for (const auto& v : p.dealt) dealt |= std::find(v.begin(), v.end(), pos) != v.end();
        if (!dealt && std::find(p.headOrder.begin(), p.headOrder.end(), pos) == p.headOrder.end())
            p.headOrder.push_back(pos);
    }
    return p;
}

// Chair 0 holds a pair of honour A, three of honour B, the highest honour X alone, two runs
// and a lone y; the chair aHolder holds the third A, bHolder the fourth B, each its only
// honour (let go first). Every other copy of A, X and y lies where the wall is drawn last.
// With `tail` given, the y there is swapped onto that position.
inline std::vector<int32_t> BuildWall(WallPlan p, uint32_t seed, int aHolder, int bHolder,
                                      int tail = -1) {
    auto take = [&](int kind) {
        std::vector<int32_t>& v = p.ofKind[kind];
        const int32_t id = v.back();
        v.pop_back();
        return id;
    };
    // Honours by the client's key, those it takes for jokers left out: X has the greatest
    // (the client plays it after the peng, from the hand's right end), B the least.
    std::vector<int> honours;
    for (auto& [k, ids] : p.ofKind)
        if (k > 30 && ClientKey(ids.front()) >= 0) honours.push_back(k);
    std::sort(honours.begin(), honours.end(), [&](int a, int b) {
        return ClientKey(p.ofKind[a].front()) < ClientKey(p.ofKind[b].front());
    });
    const int B = honours.front(), A = honours[1], X = honours.back();
    const int y = 29;  // the nine of the third suit
    std::vector<int32_t> hands[mj::kChairs];
    hands[0] = {take(A), take(A), take(B), take(B), take(B), take(X)};
    for (int k : {1, 2, 3, 14, 15, 16}) hands[0].push_back(take(k));
    hands[0].push_back(take(y));
    hands[aHolder] = {take(A)};
    hands[bHolder] = {take(B)};
    std::vector<int32_t> last;
    for (int i = 0; i < 2; ++i) last.push_back(take(y));
    const int32_t yTail = take(y);
    std::vector<int32_t> rest;
    for (auto& [k, ids] : p.ofKind)
        if (k <= 30)
            for (int32_t id : ids) rest.push_back(id);
    std::mt19937 mix(seed);
    std::shuffle(rest.begin(), rest.end(), mix);
    for (auto& [k, ids] : p.ofKind)
        if (k > 30)
            for (int32_t id : ids) last.push_back(id);
    std::vector<int32_t> wall(136, -1);
    size_t next = 0;
    for (int c = 0; c < mj::kChairs; ++c)
        for (size_t k = 0; k < p.dealt[c].size(); ++k)
            wall[size_t(p.dealt[c][k])] = k < hands[c].size() ? hands[c][k] : rest[next++];
    std::vector<int32_t> fill(rest.begin() + long(next), rest.end());
    fill.push_back(yTail);
    fill.insert(fill.end(), last.begin(), last.end());
    size_t f = 0;
    for (int32_t pos : p.headOrder)
        if (wall[size_t(pos)] < 0) wall[size_t(pos)] = fill[f++];
    if (tail >= 0 && tail < 136) {
        const auto at = std::find(wall.begin(), wall.end(), yTail);
        std::swap(*at, wall[size_t(tail)]);
    }
    return wall;
}

// The square of half-size h around a point: how many pixels differ clearly between two
// pictures of the screen.
inline int Differing(const QImage& a, const QImage& b, std::pair<int, int> c, int h = 16) {
    if (a.isNull() || b.isNull()) return 0;
    int n = 0;
    for (int y = c.second - h; y < c.second + h; ++y)
        for (int x = c.first - h; x < c.first + h; ++x) {
            if (x < 0 || y < 0 || x >= a.width() || y >= a.height()) continue;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q)) >
                 60;
        }
    return n;
}

// Whether two pictures of the screen agree in the squares of half-size h around the points.
inline bool AgreeAt(const QImage& a, const QImage& b,
                    const std::vector<std::pair<int, int>>& points, int h = 16) {
    if (a.isNull() || b.isNull()) return false;
    for (const auto& p : points)
        if (Differing(a, b, p, h) > 0) return false;
    return true;
}

// The places a clicking player looks at (the claim buttons' and the draw slot's) of those
// the client logged. Only these: an animation elsewhere (the sparkles over a dealt hand)
// must not keep a look from settling.
inline std::vector<std::pair<int, int>> ClaimPlaces(
    const std::map<std::string, std::pair<int, int>>& at) {
    std::vector<std::pair<int, int>> points;
    for (const char* name : {"胡", "杠", "碰", "过", "摸牌"})
        if (const auto it = at.find(name); it != at.end()) points.push_back(it->second);
    return points;
}

// A look at the screen that the next look, gapMs later, agrees with by `same`; a null
// picture when no two looks in a row agree within ms. One look after a fixed pause takes
// what a busy machine's client has half drawn, or not drawn yet, for what it shows.
inline QImage SettledLook(const std::function<QImage()>& look,
                          const std::function<bool(const QImage&, const QImage&)>& same, int ms,
                          int gapMs = 400) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    QImage before = look();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        QImage now = look();
        if (!before.isNull() && !now.isNull() && same(before, now)) return now;
        if (std::chrono::steady_clock::now() > end) return {};
        before = std::move(now);
    }
}

// The screen once it shows at `at` what `without` does not (a clear difference in the
// square of half-size 8 around it: a dialog's button) and the next look agrees there; null
// when it does not within ms. A dialog says it is shown before X has it on the screen.
inline QImage ShownStill(const std::function<QImage()>& look, const QImage& without,
                         std::pair<int, int> at, int ms) {
    return SettledLook(
        look,
        [&](const QImage& a, const QImage& b) {
            return AgreeAt(a, b, {at}) && Differing(b, without, at, 8) > 120;
        },
        ms);
}

// A clicking player's next move from two looks at the screen 400 ms apart: the strongest
// claim button both looks show offered; else "摸牌" (the tile in the draw slot) when both
// show a tile there; else nothing, and the player looks again. A single look loses a race a
// person never loses: a tile drawn between the look and the click comes with its win
// offered, and the click would play it; on a busy machine the look alone takes that long.
inline std::string SettledChoice(const QImage& first, const QImage& now,
                                 const std::function<bool(const QImage&, const char*)>& shown) {
    auto strongest = [&](const QImage& img) -> std::string {
        for (const char* b : {"胡", "杠", "碰", "过"})
            if (shown(img, b)) return b;
        return {};
    };
    const std::string a = strongest(first), b = strongest(now);
    if (a != b) return {};
    if (!b.empty()) return b;
    return shown(first, "摸牌") && shown(now, "摸牌") ? "摸牌" : "";
}

// A seed whose banker is a server-driven seat and a wall on which the plan plays out (peng,
// then the gang, then a win on a tile drawn after it), written into the folder; an empty
// wall when none is found.
inline std::vector<int32_t> FindPengGangWinWall(const std::string& folder, const mj::DealOptions& o,
                                                uint32_t& seed) {
    std::vector<int32_t> wall;
    for (uint32_t s = 20261207; s < 20261207 + 40 && wall.empty(); ++s) {
        const WallPlan plan = Plan(folder, s);
        if (plan.banker <= 0) continue;
        for (int a = 1; a < 4 && wall.empty(); ++a)
            for (int b = 1; b < 4 && wall.empty(); ++b) {
                if (a == b) continue;
                WriteWall(folder, BuildWall(plan, s, a, b));
                const ProbeRun first = Probe(o, s);
                if (first.replacementAt < 0) continue;
                const std::vector<int32_t> w = BuildWall(plan, s, a, b, first.replacementAt);
                WriteWall(folder, w);
                const ProbeRun second = Probe(o, s);
                std::vector<std::string> claims;
                for (const std::string& e : second.events)
                    if (e != "pass") claims.push_back(e);
                if (second.won && claims == std::vector<std::string>{"peng", "gang", "hu"}) {
                    seed = s;
                    wall = w;
                }
            }
    }
    if (!wall.empty()) WriteWall(folder, wall);
    return wall;
}

}  // namespace hqlv::mahjong::walls
