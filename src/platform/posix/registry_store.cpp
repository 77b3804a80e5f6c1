// The Linux registry: an in-memory key tree and the store file it is kept in.
#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/unique_handle.h"

namespace platform::posix {

namespace {

char FoldCase(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows compares registry names without regard to case.
struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const char x = FoldCase(a[i]);
            const char y = FoldCase(b[i]);
            if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        }
        return a.size() < b.size();
    }
};

// Windows' own bound on key depth; it also bounds the recursion that writes the file.
constexpr std::size_t kMaxKeyDepth = 512;

// Splits "a\b\c" into its key names; false for an empty name anywhere (the empty path is the
// root and has none) and for paths deeper than kMaxKeyDepth.
bool SplitPath(std::string_view path, std::vector<std::string_view>& names) {
    names.clear();
    if (path.empty()) return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view name = path.substr(start, end - start);
        if (name.empty() || names.size() == kMaxKeyDepth) return false;
        names.push_back(name);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

constexpr std::string_view kFileHeader = "vorn-registry 1";

}  // namespace

struct RegistryTree::Key {
    std::string name;  // as created; the maps compare without case
    std::map<std::string, std::string, CaseInsensitiveLess> values;
    std::map<std::string, Key, CaseInsensitiveLess> subkeys;
};

RegistryTree::RegistryTree() : root_(std::make_unique<Key>()) {}
RegistryTree::~RegistryTree() = default;
RegistryTree::RegistryTree(RegistryTree&&) noexcept = default;
RegistryTree& RegistryTree::operator=(RegistryTree&&) noexcept = default;

namespace {

// Finds the key of a path; null when it or a parent is absent.
template <class KeyT>
KeyT* FindKey(KeyT* root, const std::vector<std::string_view>& names) {
    KeyT* key = root;
    for (std::string_view name : names) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) return nullptr;
        key = &it->second;
    }
    return key;
}

}  // namespace

HRESULT RegistryTree::CreateKey(std::string_view path) {
    std::vector<std::string_view> names;
    if (!SplitPath(path, names)) return E_INVALIDARG;
    Key* key = root_.get();
    for (std::string_view name : names) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) {
            it = key->subkeys.emplace(std::string(name), Key{}).first;
            it->second.name = std::string(name);
        }
        key = &it->second;
    }
    return S_OK;
}

HRESULT RegistryTree::SetValue(std::string_view path, std::string_view name,
                               std::string_view value) {
    std::vector<std::string_view> names;
    if (!SplitPath(path, names) || names.empty()) return E_INVALIDARG;
    Key* key = FindKey(root_.get(), names);
    if (key == nullptr) return REGDB_E_KEYMISSING;
    auto it = key->values.find(name);
    if (it == key->values.end()) {
        key->values.emplace(std::string(name), std::string(value));
    } else {
        it->second.assign(value);
    }
    return S_OK;
}

HRESULT RegistryTree::DeleteValue(std::string_view path, std::string_view name) {
    std::vector<std::string_view> names;
    if (!SplitPath(path, names)) return E_INVALIDARG;
    Key* key = FindKey(root_.get(), names);
    if (key == nullptr) return S_FALSE;
    auto it = key->values.find(name);
    if (it == key->values.end()) return S_FALSE;
    key->values.erase(it);
    return S_OK;
}

HRESULT RegistryTree::DeleteKey(std::string_view path) {
    return RemoveKey(path, false);
}

HRESULT RegistryTree::DeleteTree(std::string_view path) {
    return RemoveKey(path, true);
}

HRESULT RegistryTree::RemoveKey(std::string_view path, bool withSubkeys) {
    std::vector<std::string_view> names;
    if (!SplitPath(path, names) || names.empty()) return E_INVALIDARG;
    const std::string_view last = names.back();
    names.pop_back();
    Key* parent = FindKey(root_.get(), names);
    if (parent == nullptr) return S_FALSE;
    auto it = parent->subkeys.find(last);
    if (it == parent->subkeys.end()) return S_FALSE;
    if (!withSubkeys && !it->second.subkeys.empty()) return E_ACCESSDENIED;
    parent->subkeys.erase(it);
    return S_OK;
}

HRESULT RegistryTree::QueryKey(std::string_view path, RegistryKeyInfo& info) const {
    info = {};
    std::vector<std::string_view> names;
    if (!SplitPath(path, names)) return E_INVALIDARG;
    const Key* key = FindKey(static_cast<const Key*>(root_.get()), names);
    if (key != nullptr) info = {true, key->subkeys.size()};
    return S_OK;
}

HRESULT RegistryTree::QueryValue(std::string_view path, std::string_view name,
                                 std::optional<std::string>& value) const {
    value.reset();
    std::vector<std::string_view> names;
    if (!SplitPath(path, names)) return E_INVALIDARG;
    const Key* key = FindKey(static_cast<const Key*>(root_.get()), names);
    if (key == nullptr) return S_OK;
    auto it = key->values.find(name);
    if (it != key->values.end()) value = it->second;
    return S_OK;
}

// The file: a header line, then one "key" line per key (parents first) naming the path's key
// names, each followed by "value" lines of name and data. Every name and value is written as
// a quoted string with \\, \", \n, \r, \t and \xHH escapes, so any byte survives.
namespace {

void AppendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += ' ';
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads the quoted strings of one line (after its keyword); false on anything malformed.
bool ReadQuotedStrings(std::string_view line, std::vector<std::string>& strings) {
    strings.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] != ' ' || i + 1 >= line.size() || line[i + 1] != '"') return false;
        i += 2;
        std::string text;
        while (true) {
            if (i >= line.size()) return false;
            const char c = line[i++];
            if (c == '"') break;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (i >= line.size()) return false;
            const char escaped = line[i++];
            switch (escaped) {
                case '\\':
                    text += '\\';
                    break;
                case '"':
                    text += '"';
                    break;
                case 'n':
                    text += '\n';
                    break;
                case 'r':
                    text += '\r';
                    break;
                case 't':
                    text += '\t';
                    break;
                case 'x': {
                    if (i + 2 > line.size()) return false;
                    const int high = HexDigit(line[i]);
                    const int low = HexDigit(line[i + 1]);
                    if (high < 0 || low < 0) return false;
                    text += static_cast<char>(high * 16 + low);
                    i += 2;
                    break;
                }
                default:
                    return false;
            }
        }
        strings.push_back(std::move(text));
    }
    return true;
}

std::string JoinPath(const std::vector<std::string>& names) {
    std::string path;
    for (const std::string& name : names) {
        if (!path.empty()) path += '\\';
        path += name;
    }
    return path;
}

}  // namespace

namespace {

template <class KeyT>
void SerialiseKey(const KeyT& key, std::vector<const std::string*>& path, std::string& out) {
    for (const auto& [folded, subkey] : key.subkeys) {
        path.push_back(&subkey.name);
        out += "key";
        for (const std::string* name : path) AppendQuoted(out, *name);
        out += '\n';
        for (const auto& [name, value] : subkey.values) {
            out += "value";
            AppendQuoted(out, name);
            AppendQuoted(out, value);
            out += '\n';
        }
        SerialiseKey(subkey, path, out);
        path.pop_back();
    }
}

}  // namespace

std::string RegistryTree::Serialise() const {
    std::string out(kFileHeader);
    out += '\n';
    std::vector<const std::string*> path;
    SerialiseKey(*root_, path, out);
    return out;
}

std::optional<RegistryTree> RegistryTree::Parse(std::string_view text) {
    RegistryTree tree;
    std::string currentPath;
    bool haveKey = false;
    bool first = true;
    std::vector<std::string> strings;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // every line ends in '\n'
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kFileHeader) return std::nullopt;
            first = false;
        } else if (line.starts_with("key ")) {
            if (!ReadQuotedStrings(line.substr(3), strings) || strings.empty()) return std::nullopt;
            for (const std::string& name : strings) {
                if (name.empty() || name.find('\\') != std::string::npos) return std::nullopt;
            }
            currentPath = JoinPath(strings);
            if (FAILED(tree.CreateKey(currentPath))) return std::nullopt;
            haveKey = true;
        } else if (line.starts_with("value ")) {
            if (!haveKey || !ReadQuotedStrings(line.substr(5), strings) || strings.size() != 2) {
                return std::nullopt;
            }
            if (FAILED(tree.SetValue(currentPath, strings[0], strings[1]))) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (first) return std::nullopt;
    return tree;
}

namespace {

struct FdTraits {
    using Handle = int;
    static constexpr Handle Invalid() noexcept { return -1; }
    static void Close(Handle fd) noexcept { ::close(fd); }
};
using Fd = UniqueHandle<FdTraits>;

// Creates the directories above `path` that are missing.
void CreateParentDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);  // an existing one fails harmlessly
    }
}

// The advisory lock of the store, held for one read-modify-write. Readers take none: they see
// the old file or the renamed new one, never a file being written.
class StoreLock {
public:
    explicit StoreLock(const std::string& store)
        : fd_(::open((store + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (!fd_.valid()) return;
        int result;
        do {
            result = ::flock(fd_.get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        locked_ = result == 0;
    }
    bool locked() const noexcept { return locked_; }

private:
    Fd fd_;  // closing it drops the lock
    bool locked_ = false;
};

// The store's text; nullopt when it cannot be read, "" when there is no file.
std::optional<std::string> ReadStoreText(const std::string& store) {
    Fd fd(::open(store.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) return std::string();
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return text;
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

HRESULT LoadTree(const std::string& store, RegistryTree& tree) {
    const std::optional<std::string> text = ReadStoreText(store);
    if (!text) return REGDB_E_READREGDB;
    if (text->empty()) {
        tree = RegistryTree();
        return S_OK;
    }
    std::optional<RegistryTree> parsed = RegistryTree::Parse(*text);
    if (!parsed) return REGDB_E_READREGDB;
    tree = std::move(*parsed);
    return S_OK;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes the new contents beside the store and renames them over it: readers see the old file
// or the new one, and a crash at any point leaves one of them whole.
HRESULT SaveTree(const std::string& store, const RegistryTree& tree) {
    const std::string temporary = store + ".new";
    Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.valid()) return REGDB_E_WRITEREGDB;
    const bool written = WriteAll(fd.get(), tree.Serialise()) && ::fsync(fd.get()) == 0;
    // A late write error shows in close.
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), store.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return REGDB_E_WRITEREGDB;
    }
    // Make the rename itself durable.
    const std::size_t slash = store.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : store.substr(0, slash + 1);
    Fd directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.valid()) ::fsync(directoryFd.get());
    return S_OK;
}

}  // namespace

std::string RegistryFile::Location() {
    if (const char* file = std::getenv("VORN_REGISTRY_FILE"); file != nullptr && *file != 0) {
        return file;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        return std::string(data) + "/vorn/registry";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return std::string(home) + "/.local/share/vorn/registry";
    }
    return {};
}

HRESULT RegistryFile::Read(RegistryTree& tree) {
    const std::string store = Location();
    if (store.empty()) return REGDB_E_READREGDB;
    return LoadTree(store, tree);
}

HRESULT RegistryFile::Update(const std::function<HRESULT(RegistryTree&)>& change) {
    const std::string store = Location();
    if (store.empty()) return REGDB_E_WRITEREGDB;
    CreateParentDirectories(store);
    const StoreLock lock(store);
    if (!lock.locked()) return REGDB_E_WRITEREGDB;
    RegistryTree tree;
    const HRESULT loaded = LoadTree(store, tree);
    if (FAILED(loaded)) return loaded;
    const HRESULT changed = change(tree);
    if (FAILED(changed)) return changed;
    const HRESULT saved = SaveTree(store, tree);
    return FAILED(saved) ? saved : changed;
}

}  // namespace platform::posix
