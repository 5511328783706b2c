#pragma once
// The standings file the local game server keeps and the stand-in hall reads: each user's
// standing as the server last settled it, so that the hall's answer to a details request
// (0x9108) holds the figures the player list shows. One line a user, decimal words:
//   user score silver level wins losses draws
// The server writes the whole file anew (into a side file renamed over it), so a reader
// never sees half of it; a line that does not read as seven numbers is skipped.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace hqlv::tools {

struct UserStanding {
    int32_t score = 0;
    int32_t silver = 0;
    int32_t level = 0;
    int32_t wins = 0;
    int32_t losses = 0;
    int32_t draws = 0;
    bool operator==(const UserStanding&) const = default;
};

using Standings = std::map<int32_t, UserStanding>;

inline std::string FormatStandings(const Standings& all) {
    std::ostringstream out;
    for (const auto& [user, s] : all)
        out << user << ' ' << s.score << ' ' << s.silver << ' ' << s.level << ' ' << s.wins << ' '
            << s.losses << ' ' << s.draws << '\n';
    return out.str();
}

inline Standings ParseStandings(const std::string& text) {
    Standings all;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        int32_t user = 0;
        UserStanding s;
        std::string rest;
        if (!(words >> user >> s.score >> s.silver >> s.level >> s.wins >> s.losses >> s.draws))
            continue;
        if (words >> rest) continue;  // more than seven words: not a standing
        all[user] = s;
    }
    return all;
}

inline bool WriteStandingsFile(const std::string& path, const Standings& all) {
    const std::string side = path + ".new";
    {
        std::ofstream out(side, std::ios::trunc);
        if (!(out << FormatStandings(all)) || !out.flush()) return false;
    }
    return std::rename(side.c_str(), path.c_str()) == 0;
}

// A file far beyond what a server's users fill: one line a user is under 80 bytes.
inline constexpr size_t kStandingsMaxBytes = size_t(1) << 20;

// An absent or unreadable file has no standings. A file larger than kStandingsMaxBytes is not
// a standings file: it is refused whole (none of it read), with the reason in `error`.
inline Standings ReadStandingsFile(const std::string& path, std::string* error = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(kStandingsMaxBytes + 1, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    if (text.size() > kStandingsMaxBytes) {
        if (error)
            *error = "the standings file " + path + " is larger than " +
                     std::to_string(kStandingsMaxBytes) + " bytes";
        return {};
    }
    return ParseStandings(text);
}

}  // namespace hqlv::tools
