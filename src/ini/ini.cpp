#include "ini/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>

namespace ini {
namespace {

constexpr std::size_t kMaxTagLength = 255;
// Longest piece of a value on one item line, counted on the escaped text without quotes.
constexpr std::size_t kMaxPieceLength = 80;
// Piece numbers have four digits, so a value has at most this many pieces; the rest is cut.
constexpr int kMaxPieces = 9999;
// " Line" and four digits follow the tag of each piece of a split value.
constexpr std::string_view kPieceWord = "Line";
constexpr std::size_t kPieceSuffixLength = 1 + 4 + 4;
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// A name must stay on its own line in the file, so control characters become blanks.
std::string CleanName(std::string_view name) {
    std::string clean(Trim(name));
    for (char& c : clean) {
        if (IsControl(c)) c = ' ';
    }
    return std::string(Trim(clean));
}

std::string NormalSection(std::string_view name) {
    return CleanName(name);
}

std::string CutTag(std::string clean) {
    if (clean.size() > kMaxTagLength) {
        clean.resize(kMaxTagLength);
        // Reading trims the tag again, so a blank left at the cut would not come back.
        clean = std::string(Trim(clean));
    }
    return clean;
}

std::string NormalTag(std::string_view tag) {
    return CutTag(CleanName(tag));
}

bool IsQuoted(std::string_view value) {
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

std::string_view Unquote(std::string_view value) {
    return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

// Length of the escape unit that starts at `pos`. Splitting and unescaping both walk the
// text in these units, so a value split between units unescapes piece by piece exactly as
// it would as a whole. A backslash that starts no valid escape stands for itself.
std::size_t UnitLength(std::string_view text, std::size_t pos) {
    if (text[pos] != '\\' || pos + 1 >= text.size()) return 1;
    switch (text[pos + 1]) {
        case '"':
        case '\\':
        case 't':
        case 'n':
        case 'r':
            return 2;
        case 'x':
            if (pos + 3 < text.size() && HexDigitValue(text[pos + 2]) >= 0 &&
                HexDigitValue(text[pos + 3]) >= 0) {
                return 4;
            }
            return 1;
        default:
            return 1;
    }
}

bool NeedsEscape(char c) {
    return c == '"' || c == '\\' || IsControl(c);
}

// Both walk the text in runs of plain characters, copied whole, and the one unit after each.
std::string Escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !NeedsEscape(text[end])) ++end;
        out.append(text.substr(pos, end - pos));
        if (end == text.size()) break;
        const char c = text[end];
        pos = end + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0x0f];
            }
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t slash = std::min(text.find('\\', pos), text.size());
        out.append(text.substr(pos, slash - pos));
        pos = slash;
        if (pos == text.size()) break;
        const std::size_t unit = UnitLength(text, pos);
        if (unit == 1) {
            out += text[pos];
        } else if (unit == 4) {
            out +=
                static_cast<char>(HexDigitValue(text[pos + 2]) * 16 + HexDigitValue(text[pos + 3]));
        } else {
            switch (text[pos + 1]) {
                case 't':
                    out += '\t';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                default:  // \" and \\ stand for the second character
                    out += text[pos + 1];
            }
        }
        pos += unit;
    }
    return out;
}

std::string Quote(std::string_view escaped) {
    std::string out;
    out.reserve(escaped.size() + 2);
    out += '"';
    out += escaped;
    out += '"';
    return out;
}

void AppendPieceNumber(std::string& out, int number) {
    char digits[4];
    for (int i = 3; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + number % 10);
        number /= 10;
    }
    out.append(digits, 4);
}

void AppendItem(std::string& out, const IniObject::Item& item) {
    if (Unquote(item.value).size() <= kMaxPieceLength) {
        out += item.tag;
        out += " = ";
        out += item.value;
        out += kLineEnd;
        return;
    }
    // A long value without quotes (only a hand-edited file has one) is written quoted: each
    // piece's value is trimmed when read, so blanks at the cuts would otherwise be lost.
    std::string requoted;
    if (!IsQuoted(item.value)) requoted = Quote(Escape(Unescape(item.value)));
    const std::string_view value = requoted.empty() ? std::string_view(item.value) : requoted;
    const std::string_view body = Unquote(value);
    std::size_t pos = 0;
    for (int number = 1; pos < body.size() && number <= kMaxPieces; ++number) {
        std::size_t end = pos;
        while (end < body.size()) {
            const std::size_t unit = UnitLength(body, end);
            if (end + unit - pos > kMaxPieceLength) break;
            end += unit;
        }
        out += item.tag;
        out += ' ';
        out += kPieceWord;
        AppendPieceNumber(out, number);
        out += " = \"";
        out += body.substr(pos, end - pos);
        out += '"';
        out += kLineEnd;
        pos = end;
    }
}

// Splits "TAG Line0007" into "TAG" and 7; nullopt for any other tag.
std::optional<std::pair<std::string_view, int>> SplitPieceTag(std::string_view tag) {
    if (tag.size() <= kPieceSuffixLength) return std::nullopt;
    const std::size_t at = tag.size() - kPieceSuffixLength;
    if (tag[at] != ' ' || !EqualNoCase(tag.substr(at + 1, kPieceWord.size()), kPieceWord)) {
        return std::nullopt;
    }
    int number = 0;
    for (char c : tag.substr(at + 1 + kPieceWord.size())) {
        if (!IsDigit(c)) return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return std::make_pair(tag.substr(0, at), number);
}

// The pieces of one split value while they are being read.
struct PieceRun {
    std::string tag;
    int lastNumber = 0;
    std::vector<std::string_view> values;
};

std::string JoinPieces(const std::vector<std::string_view>& values) {
    bool allQuoted = true;
    for (std::string_view value : values) allQuoted = allQuoted && IsQuoted(value);
    std::string joined;
    if (allQuoted) {
        // Unescaping each piece on its own keeps a hand-edited file that broke an escape
        // across two pieces from swallowing the quote or the next piece's first character.
        for (std::string_view value : values) joined += Unescape(Unquote(value));
        return Quote(Escape(joined));
    }
    for (std::string_view value : values) joined += value;
    return joined;
}

}  // namespace

// --- building ---------------------------------------------------------------------------

std::size_t IniObject::NoCaseHash::operator()(std::string_view name) const {
    std::size_t hash = 14695981039346656037ull;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211ull;
    return hash;
}

bool IniObject::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
    return EqualNoCase(a, b);
}

std::size_t IniObject::SectionAt(const std::string& name) {
    const auto [found, added] = sectionIndex_.try_emplace(name, sections_.size());
    if (added) {
        sections_.push_back(Section{name, {}});
        itemIndex_.emplace_back();
    }
    return found->second;
}

void IniObject::AddItem(std::size_t section, Item item) {
    std::vector<Item>& items = sections_[section].items;
    itemIndex_[section].try_emplace(item.tag, items.size());
    items.push_back(std::move(item));
}

void IniObject::PutValue(std::string_view section, std::string_view tag, std::string value) {
    const std::string sectionName = NormalSection(section);
    const std::string tagName = NormalTag(tag);
    // An item without a tag could not be read back, so it is not kept either.
    if (tagName.empty()) return;

    const std::size_t at = SectionAt(sectionName);
    const auto item = itemIndex_[at].find(std::string_view(tagName));
    if (item != itemIndex_[at].end()) {
        sections_[at].items[item->second].value = std::move(value);
        return;
    }
    AddItem(at, Item{tagName, std::move(value)});
}

void IniObject::PutString(std::string_view section, std::string_view tag, std::string_view value) {
    PutValue(section, tag, Quote(Escape(value)));
}

void IniObject::PutInt(std::string_view section, std::string_view tag, long value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    PutValue(section, tag, std::string(digits, result.ptr));
}

std::string IniObject::ToText() const {
    std::string out;
    for (const Section& section : sections_) {
        out += '[';
        out += section.name;
        out += ']';
        out += kLineEnd;
        for (const Item& item : section.items) AppendItem(out, item);
        out += kLineEnd;
    }
    return out;
}

bool IniObject::WriteToFile(const std::string& path) const {
    namespace fs = std::filesystem;
    if (path.empty()) return false;

    std::error_code error;
    fs::path target(path);
    // Replace the file a link points to, not the link itself.
    if (fs::is_symlink(target, error)) {
        target = fs::weakly_canonical(target, error);
        if (error) return false;
    }

    struct stat targetInfo {};
    const bool exists = ::stat(target.c_str(), &targetInfo) == 0;
    if (exists) {
        if (!S_ISREG(targetInfo.st_mode)) return false;
        // The rename would replace a read-only file in a writable folder, so its write
        // permission is checked here. A file without any write bit counts as read-only
        // also for the superuser, who could otherwise write anything.
        const bool anyWriteBit = (targetInfo.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
        if (!anyWriteBit || ::access(target.c_str(), W_OK) != 0) return false;
    } else if (errno != ENOENT) {
        return false;
    }

    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about "." + string&&.
    std::string baseName = ".";
    baseName += target.filename().string();
    baseName += ".tmp";
    baseName += std::to_string(static_cast<long>(::getpid()));
    baseName += '-';
    std::string tempPath;
    int fd = -1;
    // A temporary file left by a crashed run keeps its name; try the next one.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = (folder / (baseName + std::to_string(attempt))).string();
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    const std::string text = ToText();
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
        } else {
            written += static_cast<std::size_t>(n);
        }
    }
    if (ok && exists) ok = ::fchmod(fd, targetInfo.st_mode & 07777) == 0;
    // Without the flush a crash right after the rename could leave an empty file.
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    // The new name lives in the folder: until the folder is on disk, a power cut can bring
    // back the old file or none at all.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    ok = ::fsync(dir) == 0;
    ::close(dir);
    return ok;
}

// --- reading ----------------------------------------------------------------------------

IniObject IniObject::Parse(std::string_view text) {
    IniObject object;
    // A section named twice continues the first one.
    // No section yet, or a broken section line: items are ignored until the next good one.
    constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);
    std::size_t current = kNoSection;
    // The split value being joined; `inRun` says whether there is one. (An optional here
    // makes GCC's optimiser see uninitialised members that are never read.)
    PieceRun run;
    bool inRun = false;

    auto flushRun = [&] {
        if (inRun && current != kNoSection) {
            object.AddItem(current, Item{run.tag, JoinPieces(run.values)});
        }
        inRun = false;
    };

    if (text.substr(0, 3) == kUtf8Bom) text.remove_prefix(3);

    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lineEnd = text.find('\n', pos);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        std::string_view line = text.substr(pos, lineEnd - pos);
        pos = lineEnd + 1;

        // Control characters before the first sign count as blanks, as they do around names:
        // otherwise "\0[X]" would be an item whose tag starts with '[', which written out
        // would read back as a section.
        while (!line.empty() && (IsBlank(line.front()) || IsControl(line.front())))
            line.remove_prefix(1);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            flushRun();
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos || !Trim(line.substr(close + 1)).empty()) {
                current = kNoSection;
                continue;
            }
            current = object.SectionAt(NormalSection(line.substr(1, close - 1)));
            continue;
        }

        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || current == kNoSection) continue;
        const std::string tag = CleanName(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (tag.empty() || value.empty()) continue;

        // The piece suffix is looked for before the tag is cut, since a tag of full length
        // plus its suffix is longer than a tag may be.
        if (const auto piece = SplitPieceTag(tag)) {
            const std::string base = CutTag(std::string(Trim(piece->first)));
            if (!base.empty()) {
                if (inRun && piece->second == run.lastNumber + 1 && EqualNoCase(run.tag, base)) {
                    run.lastNumber = piece->second;
                    run.values.push_back(value);
                    continue;
                }
                if (piece->second == 1) {
                    flushRun();
                    run = PieceRun{base, 1, {value}};
                    inRun = true;
                    continue;
                }
            }
        }
        flushRun();
        object.AddItem(current, Item{CutTag(tag), std::string(value)});
    }
    flushRun();
    return object;
}

bool IniObject::ReadFromFile(const std::string& path) {
    *this = IniObject{};
    std::error_code error;
    // Only plain files: a device or a pipe could feed the reader without end.
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return false;
    *this = Parse(content.str());
    return true;
}

namespace {

// NormalSection and NormalTag for a look-up: the name itself when it is clean already (the
// program's own names always are), so that reading a file makes no copy per item asked for.
std::string_view CleanView(std::string_view name, std::string& storage) {
    bool clean = Trim(name).size() == name.size();
    for (char c : name) clean = clean && !IsControl(c);
    if (clean) return name;
    storage = CleanName(name);
    return storage;
}

std::string_view TagView(std::string_view tag, std::string& storage) {
    const std::string_view clean = CleanView(tag, storage);
    if (clean.size() <= kMaxTagLength) return clean;
    storage = CutTag(std::string(clean));
    return storage;
}

}  // namespace

const IniObject::Item* IniObject::Find(std::string_view section, std::string_view tag) const {
    std::string storage;
    const auto found = sectionIndex_.find(CleanView(section, storage));
    if (found == sectionIndex_.end()) return nullptr;
    const NameIndex& items = itemIndex_[found->second];
    const auto item = items.find(TagView(tag, storage));
    return item == items.end() ? nullptr : &sections_[found->second].items[item->second];
}

bool IniObject::HasSection(std::string_view section) const {
    std::string storage;
    return sectionIndex_.contains(CleanView(section, storage));
}

bool IniObject::HasItem(std::string_view section, std::string_view tag) const {
    return Find(section, tag) != nullptr;
}

std::optional<std::string> IniObject::GetString(std::string_view section,
                                                std::string_view tag) const {
    const Item* item = Find(section, tag);
    if (item == nullptr) return std::nullopt;
    return Unescape(Unquote(item->value));
}

std::optional<std::string> IniObject::GetStringIntoBuffer(std::string_view section,
                                                          std::string_view tag,
                                                          std::size_t bufferSize) const {
    std::optional<std::string> text = GetString(section, tag);
    if (text && text->size() >= bufferSize) text->resize(bufferSize == 0 ? 0 : bufferSize - 1);
    return text;
}

std::optional<std::int32_t> IniObject::GetInt(std::string_view section,
                                              std::string_view tag) const {
    const Item* item = Find(section, tag);
    if (item == nullptr) return std::nullopt;
    // The value is trimmed already; blanks inside quotes make it no number.
    std::string_view digits = Unquote(item->value);
    // from_chars takes a minus sign but no plus sign; "+-5" must stay no number.
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty() || !IsDigit(digits.front())) return std::nullopt;
    }
    std::int32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

}  // namespace ini
