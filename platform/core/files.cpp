#include "platform/core/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace hqlv::platform {
namespace {

std::vector<std::string> splitComponents(const std::string& norm) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= norm.size()) {
        size_t j = norm.find('/', i);
        if (j == std::string::npos) j = norm.size();
        if (j > i) {
            std::string c = norm.substr(i, j - i);
            if (c != ".") parts.push_back(std::move(c));
        }
        i = j + 1;
    }
    return parts;
}

bool exists(const std::string& p, bool* isDir = nullptr) {
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) return false;
    if (isDir) *isDir = S_ISDIR(st.st_mode);
    return true;
}

// The entry of folder dir whose name equals name ignoring ASCII case; the first in byte
// order when several do.
bool findCaseless(const std::string& dir, const std::string& name, std::string* found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    std::vector<std::string> matches;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) matches.emplace_back(e->d_name);
    }
    closedir(d);
    if (matches.empty()) return false;
    *found = *std::min_element(matches.begin(), matches.end());
    return true;
}

bool resolveImpl(std::string_view path, bool allowMissingLast, std::string* resolved,
                 std::string* error) {
    std::string norm = normalizePath(path);
    if (norm.empty()) {
        if (error) *error = "empty path";
        return false;
    }
    bool absolute = norm[0] == '/';
    std::vector<std::string> parts = splitComponents(norm);
    // The usual case: the path exists as written. Then every component is found as it
    // stands (the system walked each one), so the walk below would give the same path; one
    // look-up instead of one per component.
    std::string exact = absolute ? "/" : "";
    for (const std::string& c : parts) exact = exact.empty() ? c : joinPath(exact, c);
    if (!exact.empty() && exists(exact)) {
        if (resolved) *resolved = exact;
        return true;
    }
    std::string current = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& c = parts[i];
        bool last = i + 1 == parts.size();
        std::string candidate = current.empty() ? c : joinPath(current, c);
        bool isDir = false;
        std::string name;
        if (exists(candidate, &isDir)) {
            current = candidate;
        } else if (findCaseless(current, c, &name)) {
            current = current.empty() ? name : joinPath(current, name);
            exists(current, &isDir);
        } else if (last && allowMissingLast) {
            current = candidate;
            break;
        } else {
            if (error) *error = "no such file or folder: " + candidate;
            return false;
        }
        if (!last && !isDir) {
            if (error) *error = "not a folder: " + current;
            return false;
        }
    }
    if (current.empty()) current.push_back('.');
    if (resolved) *resolved = current;
    return true;
}

}  // namespace

const std::string& programFile() {
    static const std::string file = [] {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        return n <= 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
    }();
    return file;
}

const std::string& programFolder() {
    static const std::string folder = [] {
        const std::string& p = programFile();
        size_t slash = p.rfind('/');
        return slash == std::string::npos ? std::string("./") : p.substr(0, slash + 1);
    }();
    return folder;
}

std::string normalizePath(std::string_view path) {
    std::string s(path);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string f = normalizePath(folder);
    std::string n = normalizePath(name);
    while (!n.empty() && n.front() == '/') n.erase(0, 1);
    if (f.empty()) return n;
    if (f.back() != '/') f.push_back('/');
    return f + n;
}

bool resolveExisting(std::string_view path, std::string* resolved, std::string* error) {
    return resolveImpl(path, false, resolved, error);
}

bool resolveForWrite(std::string_view path, std::string* resolved, std::string* error) {
    return resolveImpl(path, true, resolved, error);
}

bool pathExists(std::string_view path, bool folder) {
    std::string p;
    if (!resolveExisting(path, &p)) return false;
    bool isDir = false;
    return exists(p, &isDir) && isDir == folder;
}

bool readFile(std::string_view path, std::string* out, std::string* error) {
    out->clear();
    std::string p;
    if (!resolveExisting(path, &p, error)) return false;
    int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = "cannot open " + p + ": " + std::strerror(errno);
        return false;
    }
    // A file read whole (pictures of several megabytes among them) is held once at its
    // size, not grown and copied again block by block.
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        out->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) *error = "cannot read " + p + ": " + std::strerror(errno);
            close(fd);
            out->clear();
            return false;
        }
        out->append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool writeFile(std::string_view path, std::string_view data, std::string* error) {
    std::string p;
    if (!resolveForWrite(path, &p, error)) return false;
    static std::atomic<unsigned> counter{0};
    std::string tmp = p + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = "cannot create " + tmp + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (error) *error = "cannot write " + tmp + ": " + std::strerror(errno);
            close(fd);
            unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 || rename(tmp.c_str(), p.c_str()) != 0) {
        if (error) *error = "cannot replace " + p + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool makeFolders(std::string_view path) {
    std::string norm = normalizePath(path);
    if (norm.empty()) return false;
    std::string current = norm[0] == '/' ? "/" : "";
    for (const std::string& c : splitComponents(norm)) {
        std::string candidate = current.empty() ? c : joinPath(current, c);
        std::string name;
        if (!exists(candidate) && findCaseless(current, c, &name)) {
            candidate = current.empty() ? name : joinPath(current, name);
        }
        if (!exists(candidate) && mkdir(candidate.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        current = candidate;
    }
    bool isDir = false;
    return exists(current.empty() ? "." : current, &isDir) && isDir;
}

bool removeFile(std::string_view path) {
    std::string p;
    if (!resolveExisting(path, &p)) return false;
    return unlink(p.c_str()) == 0;
}

std::vector<std::string> listFolder(std::string_view path) {
    std::vector<std::string> names;
    std::string p;
    if (!resolveExisting(path, &p)) return names;
    DIR* d = opendir(p.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
            names.emplace_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace hqlv::platform
