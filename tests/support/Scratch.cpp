#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Support.h"

namespace fs = std::filesystem;

namespace ts {

Scratch::Scratch() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/chromaport-test-XXXXXX";
    if (mkdtemp(pattern.data()))
        m_path = pattern;
}

Scratch::~Scratch() {
    if (m_path.empty())
        return;
    std::error_code ec;
    // Tests make folders read-only to provoke failures; give write access back first.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::end(it);
         it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            chmod(it->path().c_str(), 0700);
    fs::remove_all(m_path, ec);
}

std::string Scratch::mkdir(const std::string& name) const {
    const std::string path = file(name);
    ::mkdir(path.c_str(), 0755);
    return path;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out.flush());
}

std::string Fill(std::string text, const std::map<std::string, std::string>& vars) {
    for (const auto& [name, value] : vars)
        for (size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += value.size())
            text.replace(at, name.size(), value);
    return text;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The size and the bytes of every extent that holds data: a sparse file of a GiB costs what
// it holds, and its holes read as the zeros they are.
static std::string Digest(const std::string& path) {
    uint64_t h = 1469598103934665603ULL;
    const auto mix = [&h](const unsigned char* p, size_t n) {
        for (size_t i = 0; i < n; ++i)
            h = (h ^ p[i]) * 1099511628211ULL;
    };
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0)
            close(fd);
        return "unreadable";
    }
    std::vector<unsigned char> buffer(1 << 16);
    off_t at = lseek(fd, 0, SEEK_DATA);
    while (at >= 0 && at < st.st_size) {
        const off_t end = std::min<off_t>(lseek(fd, at, SEEK_HOLE), st.st_size);
        mix(reinterpret_cast<const unsigned char*>(&at), sizeof at);
        while (at < end) {
            const ssize_t n = pread(fd, buffer.data(),
                                    size_t(std::min<off_t>(end - at, off_t(buffer.size()))), at);
            if (n <= 0)
                return close(fd), "unreadable";
            mix(buffer.data(), size_t(n));
            at += n;
        }
        at = at == end ? lseek(fd, at, SEEK_DATA) : -1; // no hole found: give up, as unreadable
    }
    close(fd);
    return std::to_string(h) + " " + std::to_string(st.st_size);
}

Snapshot Snap(const std::string& root) {
    Snapshot out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        const std::string rel = it->path().lexically_relative(root).string();
        if (it->is_symlink(ec))
            out[rel] = "link -> " + fs::read_symlink(it->path(), ec).string();
        else if (it->is_directory(ec))
            out[rel] = "dir";
        else
            out[rel] = "file " + Digest(it->path());
    }
    return out;
}

std::string Changes(const Snapshot& before, const Snapshot& after,
                    const std::set<std::string>& allowed) {
    std::set<std::string> paths;
    for (const auto* snap : {&before, &after})
        for (const auto& [path, what] : *snap) {
            const Snapshot& other = snap == &before ? after : before;
            const auto it = other.find(path);
            if ((it == other.end() || it->second != what) && !allowed.count(path))
                paths.insert(path);
        }
    std::string text;
    for (const std::string& path : paths)
        text += (text.empty() ? "" : ", ") + path;
    return text;
}

} // namespace ts
