// The case-insensitive path resolver on generated directory trees. Each input describes a tree
// (folders, files, links that stay on the drive or lead off it) and a Windows path. The tree is
// built twice, its entries created in two different orders, and the path resolved on both:
// - the answers agree (the choice among spellings never depends on the order a folder lists
//   its entries in);
// - they equal a model: "." is skipped, ".." refused, an exact name wins, else the first name in
//   byte order that matches ignoring case, else the spelling given; a folder on the way that is
//   a link leading off the drive is refused;
// - whatever is resolved lies on the drive, and following its folders never leaves it;
// - when the last component exists in any letter case, the resolved entry exists.

#include "drive.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Letter {
    const char* utf8;
    char folded;
};
const Letter kLetters[] = {{"a", 'a'},        {"A", 'a'},        {"b", 'b'}, {"B", 'b'},
                           {"\xC3\xA9", 'e'}, {"\xC3\x89", 'e'}, {"_", '_'}, {".", '.'}};

enum class Kind { Folder, File, LinkInside, LinkToRoot, LinkAboveDrive, Dangling };
constexpr int kKinds = 6;

struct Entry {
    int parent;  // index of a folder entry, -1 for the drive root
    std::string name;
    Kind kind;
    int linkTarget;  // LinkInside: index of a folder entry, -1 for the drive root
};

// Reads the input a byte at a time; runs out into zeros.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool done() const { return pos_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

std::string nameFrom(Reader& in) {
    std::string name;
    const int length = 1 + in.next() % 3;
    for (int i = 0; i < length; ++i) name += kLetters[in.next() % std::size(kLetters)].utf8;
    return name;
}

std::vector<Entry> treeFrom(Reader& in) {
    std::vector<Entry> entries;
    std::vector<int> folders;
    const int count = in.next() % 12;
    for (int i = 0; i < count; ++i) {
        Entry e;
        const std::uint8_t parentPick = in.next();
        e.parent = parentPick % (folders.size() + 1) == 0
                       ? -1
                       : folders[parentPick % (folders.size() + 1) - 1];
        e.name = nameFrom(in);
        e.kind = static_cast<Kind>(in.next() % kKinds);
        const std::uint8_t targetPick = in.next();
        e.linkTarget =
            folders.empty() || targetPick % 2 ? -1 : folders[targetPick % folders.size()];
        const bool clash = e.name == "." || e.name == ".." ||
                           std::any_of(entries.begin(), entries.end(), [&](const Entry& other) {
                               return other.parent == e.parent && other.name == e.name;
                           });
        if (clash) continue;
        if (e.kind == Kind::Folder) folders.push_back(static_cast<int>(entries.size()));
        entries.push_back(e);
    }
    return entries;
}

std::string queryFrom(Reader& in) {
    std::string query = in.next() % 2 ? "c:\\" : "C:/";
    while (!in.done()) {
        const std::uint8_t pick = in.next();
        if (pick % 16 == 0) {
            query += "..";
        } else if (pick % 16 == 1) {
            query += ".";
        } else {
            query += nameFrom(in);
        }
        query += in.next() % 4 == 0 ? "/" : "\\";
    }
    if (query.size() > 3 && in.next() % 2) query.pop_back();  // with or without a final separator
    return query;
}

int depthOf(const std::vector<Entry>& entries, int index) {
    return index < 0 ? 0 : 1 + depthOf(entries, entries[static_cast<std::size_t>(index)].parent);
}

fs::path relativePathOf(const std::vector<Entry>& entries, int index) {
    if (index < 0) return {};
    const Entry& e = entries[static_cast<std::size_t>(index)];
    return relativePathOf(entries, e.parent) / e.name;
}

std::string upwards(int levels) {
    std::string up;
    for (int i = 0; i < levels; ++i) up += "../";
    return up;
}

std::error_code makeEmptyFile(const fs::path& where) {
    std::ofstream file(where);
    return file ? std::error_code() : std::make_error_code(std::errc::io_error);
}

void create(const fs::path& root, const std::vector<Entry>& entries, int index) {
    const Entry& e = entries[static_cast<std::size_t>(index)];
    const fs::path where = root / relativePathOf(entries, index);
    const int depth = depthOf(entries, e.parent);
    std::error_code ec;
    switch (e.kind) {
        case Kind::Folder:
            fs::create_directory(where, ec);
            break;
        case Kind::File:
            ec = makeEmptyFile(where);
            break;
        case Kind::LinkInside: {
            const std::string target =
                upwards(depth) + relativePathOf(entries, e.linkTarget).string();
            fs::create_directory_symlink(target.empty() ? "." : target, where, ec);
            break;
        }
        case Kind::LinkToRoot:
            fs::create_directory_symlink("/", where, ec);
            break;
        case Kind::LinkAboveDrive:
            fs::create_directory_symlink(upwards(depth + 1), where, ec);
            break;
        case Kind::Dangling:
            fs::create_symlink(upwards(depth) + "nowhere/x", where, ec);
            break;
    }
    FUZZ_CHECK(!ec, "cannot create " + where.string() + ": " + ec.message());
}

// Creates the entries parents first; "reversed" creates the entries of each depth in the
// opposite order, so folders list them differently.
void build(const fs::path& root, const std::vector<Entry>& entries, bool reversed) {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directory(root);
    std::vector<int> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int da = depthOf(entries, a), db = depthOf(entries, b);
        if (da != db) return da < db;
        return reversed ? a > b : a < b;
    });
    for (int index : order) create(root, entries, index);
}

std::string folded(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        bool known = false;
        for (const Letter& l : kLetters) {
            const std::string spelling = l.utf8;
            if (name.compare(i, spelling.size(), spelling) == 0) {
                out += l.folded;
                i += spelling.size();
                known = true;
                break;
            }
        }
        FUZZ_CHECK(known, "unexpected name " + name);
    }
    return out;
}

bool under(const fs::path& path, const fs::path& root) {
    const auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return r == root.end();
}

// The rule the resolver must follow, walked on the real tree. nullopt: refused.
std::optional<fs::path> model(const fs::path& root, const std::string& query) {
    std::vector<std::string> parts(1);
    for (char c : query.substr(2)) {
        if (c == '\\' || c == '/') {
            if (!parts.back().empty()) parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    if (parts.back().empty()) parts.pop_back();
    fs::path base = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == ".") continue;
        if (part == "..") return std::nullopt;
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
            names.push_back(it->path().filename().string());
        }
        std::sort(names.begin(), names.end());
        std::string chosen = part;
        if (std::find(names.begin(), names.end(), part) == names.end()) {
            for (const std::string& n : names) {
                if (folded(n) == folded(part)) {
                    chosen = n;
                    break;
                }
            }
        }
        base /= chosen;
        const bool followed = i + 1 < parts.size();
        if (followed && fs::is_symlink(fs::symlink_status(base, ec)) &&
            !under(fs::weakly_canonical(base, ec), root)) {
            return std::nullopt;
        }
    }
    return base;
}

struct Drives {
    fs::path base;
    fs::path first;
    fs::path second;
};

// TMPDIR when set (the run script gives each run its own), else memory where there is some.
std::string scratchFolder() {
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) return tmp;
    return fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
}

const Drives& drives() {
    static const Drives d = [] {
        std::string templ = scratchFolder() + "/pulsaro-resolver-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(templ.data()) != nullptr, "mkdtemp");
        const fs::path base = fs::canonical(templ);
        std::atexit([] { fs::remove_all(drives().base); });
        return Drives{base, base / "drive_one", base / "drive_two"};
    }();
    return d;
}

pulsaro::MappedPath resolveOn(const fs::path& root, const std::string& query) {
    setenv("PULSARO_DRIVE_C", root.c_str(), 1);
    return pulsaro::mapPath(query);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const std::vector<Entry> entries = treeFrom(in);
    const std::string query = queryFrom(in);
    const Drives& d = drives();
    build(d.first, entries, false);
    build(d.second, entries, true);

    const pulsaro::MappedPath one = resolveOn(d.first, query);
    const pulsaro::MappedPath two = resolveOn(d.second, query);
    const std::optional<fs::path> expected = model(d.first, query);
    const std::string context =
        "query " + query + (one.ok() ? " -> " + one.path.string() : " refused: " + one.error);

    FUZZ_CHECK(one.ok() == two.ok(), context);
    FUZZ_CHECK(one.ok() == expected.has_value(), context);
    if (!one.ok()) return 0;
    FUZZ_CHECK(one.path == *expected, context + ", model " + expected->string());
    FUZZ_CHECK(fs::relative(one.path, d.first) == fs::relative(two.path, d.second),
               context + ", other order " + two.path.string());

    FUZZ_CHECK(under(one.path, d.first), context);
    std::error_code ec;
    if (one.path == d.first) return 0;
    FUZZ_CHECK(under(fs::weakly_canonical(one.path.parent_path(), ec), d.first), context);
    const fs::path folder = one.path.parent_path();
    bool someSpellingExists = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        someSpellingExists |=
            folded(it->path().filename().string()) == folded(one.path.filename().string());
    }
    if (someSpellingExists) FUZZ_CHECK(fs::exists(fs::symlink_status(one.path, ec)), context);
    return 0;
}
