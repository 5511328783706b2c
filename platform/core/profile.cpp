#include "platform/core/profile.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/core/files.h"
#include "platform/core/text.h"

namespace hqlv::platform {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::mutex& profileMutex() {
    static std::mutex m;
    return m;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

struct ProfileText::Line {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string raw;     // the line on disk (GBK), without its line end
    std::string name;    // section name or key, UTF-8, trimmed
    std::string value;   // UTF-8, trimmed, quotes removed
    std::string rawKey;  // the key as on disk (GBK), trimmed
};

namespace {

using Line = ProfileText::Line;

// The lines of the text. A writer keeps every line as it stands (raw and rawKey) to write
// the untouched ones back; a reader needs only the sections and keys.
std::vector<Line> parse(std::string_view content, bool forWriting) {
    std::vector<Line> lines;
    lines.reserve(static_cast<size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
    size_t pos = 0;
    if (content.starts_with(kUtf8Mark)) pos = kUtf8Mark.size();
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        std::string_view raw = content.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        pos = end + 1;
        Line line;
        if (forWriting) line.raw = std::string(raw);
        std::string_view t = trim(raw);
        if (t.empty() || t.front() == ';') {
        } else if (t.front() == '[') {
            size_t close = t.rfind(']');
            if (close != std::string_view::npos) {
                line.kind = Line::Section;
                line.name = gbkToUtf8(trim(t.substr(1, close - 1)));
            }
        } else if (size_t eq = t.find('='); eq != std::string_view::npos) {
            line.kind = Line::Entry;
            const std::string_view key = trim(t.substr(0, eq));
            if (forWriting) line.rawKey = std::string(key);
            line.name = gbkToUtf8(key);
            std::string_view v = trim(t.substr(eq + 1));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
                v = v.substr(1, v.size() - 2);
            }
            line.value = gbkToUtf8(v);
        }
        if (forWriting || line.kind != Line::Other) lines.push_back(std::move(line));
    }
    return lines;
}

// The file as it is now; a missing or unreadable file reads as empty.
ProfileText load(std::string_view file) {
    std::string content;
    std::lock_guard lock(profileMutex());
    if (!readFile(file, &content)) content.clear();
    return ProfileText(content);
}

// Index of the first key line of the section, across all sections of that name.
std::optional<size_t> findEntry(const std::vector<Line>& lines, std::string_view section,
                                std::string_view key) {
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        if (l.kind == Line::Section) {
            inSection = sameName(l.name, section);
        } else if (inSection && l.kind == Line::Entry && sameName(l.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string stripTrailingBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

void addUnique(std::vector<std::string>& names, const std::string& n) {
    for (const auto& x : names) {
        if (sameName(x, n)) return;
    }
    names.push_back(n);
}

std::vector<std::string> sectionList(const std::vector<Line>& lines) {
    std::vector<std::string> names;
    for (const Line& l : lines) {
        if (l.kind == Line::Section) addUnique(names, l.name);
    }
    return names;
}

std::vector<std::string> keyNames(const std::vector<Line>& lines, std::string_view section) {
    std::vector<std::string> names;
    bool inSection = false;
    for (const Line& l : lines) {
        if (l.kind == Line::Section) {
            inSection = sameName(l.name, section);
        } else if (inSection && l.kind == Line::Entry) {
            addUnique(names, l.name);
        }
    }
    return names;
}

uint32_t copyList(const std::vector<std::string>& names, char* out, uint32_t size) {
    std::string list;
    for (const auto& n : names) {
        list += n;
        list.push_back('\0');
    }
    list.push_back('\0');
    if (list.size() == 1) list.push_back('\0');  // an empty list is two NULs
    if (list.size() <= size) {
        std::memcpy(out, list.data(), list.size());
        return static_cast<uint32_t>(names.empty() ? 0 : list.size() - 1);
    }
    if (size == 1) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, list.data(), size - 2);
    out[size - 2] = '\0';
    out[size - 1] = '\0';
    return size - 2;
}

bool hasLineBreak(const char* s) {
    return s && std::strpbrk(s, "\r\n") != nullptr;
}

}  // namespace

ProfileText::ProfileText(std::string_view content) : lines_(parse(content, false)) {}
ProfileText::~ProfileText() = default;
ProfileText::ProfileText(ProfileText&&) noexcept = default;
ProfileText& ProfileText::operator=(ProfileText&&) noexcept = default;

std::vector<std::string> ProfileText::sectionNames() const {
    return sectionList(lines_);
}

std::vector<std::string> ProfileText::keys(std::string_view section) const {
    return keyNames(lines_, section);
}

std::optional<std::string> ProfileText::value(std::string_view section,
                                              std::string_view key) const {
    if (auto i = findEntry(lines_, section, key)) return lines_[*i].value;
    return std::nullopt;
}

std::string ProfileText::string(std::string_view section, std::string_view key,
                                std::string_view def) const {
    if (auto v = value(section, key)) return std::move(*v);
    return stripTrailingBlanks(def);
}

int ProfileText::integer(std::string_view section, std::string_view key, int def) const {
    auto i = findEntry(lines_, section, key);
    if (!i || lines_[*i].value.empty()) return def;
    std::string_view v = lines_[*i].value;
    size_t p = 0;
    while (p < v.size() && isBlank(v[p])) ++p;
    bool negative = false;
    if (p < v.size() && (v[p] == '-' || v[p] == '+')) negative = v[p++] == '-';
    uint32_t n = 0;
    while (p < v.size() && v[p] >= '0' && v[p] <= '9')
        n = n * 10 + static_cast<uint32_t>(v[p++] - '0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
}

uint32_t getProfileString(const char* section, const char* key, const char* def, char* out,
                          uint32_t size, std::string_view file) {
    if (!out || size == 0) return 0;
    const ProfileText text = load(file);
    if (!section) return copyList(text.sectionNames(), out, size);
    if (!key) return copyList(text.keys(section), out, size);
    std::string value = text.string(section, key, def ? def : "");
    std::string_view cut = utf8Truncate(value, size - 1);
    std::memcpy(out, cut.data(), cut.size());
    out[cut.size()] = '\0';
    return static_cast<uint32_t>(cut.size());
}

std::string profileString(std::string_view section, std::string_view key, std::string_view def,
                          std::string_view file) {
    return load(file).string(section, key, def);
}

int getProfileInt(std::string_view section, std::string_view key, int def, std::string_view file) {
    return load(file).integer(section, key, def);
}

std::optional<std::string> rewriteProfileText(std::string_view content, const char* section,
                                              const char* key, const char* value) {
    std::vector<Line> lines = parse(content, true);
    bool changed = false;

    if (!key) {
        // Delete every section of that name with its lines.
        std::vector<Line> kept;
        kept.reserve(lines.size());
        bool dropping = false;
        for (Line& l : lines) {
            if (l.kind == Line::Section) dropping = sameName(l.name, section);
            if (dropping) {
                changed = true;
            } else {
                kept.push_back(std::move(l));
            }
        }
        lines.swap(kept);
    } else if (!value) {
        bool inSection = false;
        std::vector<Line> kept;
        kept.reserve(lines.size());
        for (Line& l : lines) {
            if (l.kind == Line::Section) inSection = sameName(l.name, section);
            if (inSection && l.kind == Line::Entry && sameName(l.name, key)) {
                changed = true;
            } else {
                kept.push_back(std::move(l));
            }
        }
        lines.swap(kept);
    } else {
        std::string gValue = utf8ToGbk(value);
        if (auto i = findEntry(lines, section, key)) {
            lines[*i].raw = lines[*i].rawKey + "=" + gValue;
        } else {
            // After the last key of the first section of that name, else a new section.
            std::optional<size_t> insertAt;
            bool inSection = false, seen = false;
            for (size_t i = 0; i < lines.size(); ++i) {
                const Line& l = lines[i];
                if (l.kind == Line::Section) {
                    if (seen && inSection) break;
                    inSection = sameName(l.name, section);
                    if (inSection) {
                        seen = true;
                        insertAt = i + 1;
                    }
                } else if (inSection && l.kind == Line::Entry) {
                    insertAt = i + 1;
                }
            }
            Line entry;
            entry.kind = Line::Entry;
            entry.raw = utf8ToGbk(trim(key)) + "=" + gValue;
            if (insertAt) {
                lines.insert(lines.begin() + static_cast<ptrdiff_t>(*insertAt), std::move(entry));
            } else {
                if (!lines.empty() && !trim(lines.back().raw).empty()) lines.push_back(Line{});
                Line head;
                head.kind = Line::Section;
                head.raw.push_back('[');
                head.raw += utf8ToGbk(trim(section));
                head.raw.push_back(']');
                lines.push_back(std::move(head));
                lines.push_back(std::move(entry));
            }
        }
        changed = true;
    }
    if (!changed) return std::nullopt;
    // The file's byte-order mark stays: the lines hold what follows it, and without it a
    // second mark at the start of the first line would be read as the file's own, turning
    // that line into a section that was not there before.
    std::string out(content.starts_with(kUtf8Mark) ? kUtf8Mark : std::string_view());
    for (const Line& l : lines) {
        out += l.raw;
        out += "\r\n";
    }
    return out;
}

bool writeProfileString(const char* section, const char* key, const char* value,
                        std::string_view file) {
    if (!section || hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
    std::lock_guard lock(profileMutex());
    std::string content;
    if (!readFile(file, &content)) content.clear();
    std::optional<std::string> out = rewriteProfileText(content, section, key, value);
    // A write that changes nothing leaves the file alone, even a missing one.
    return !out || writeFile(file, *out);
}

std::vector<std::string> profileSectionNames(std::string_view file) {
    return load(file).sectionNames();
}

std::vector<std::string> profileKeys(std::string_view section, std::string_view file) {
    return load(file).keys(section);
}

}  // namespace hqlv::platform
