// Build-time tool: makes the bytes of the program's resource sections (see
// src/about/ModuleResources.h) from the project's version, the git
// description of the checkout and the application icon.
//
//   kelvora_resgen --version 1.0.0 --describe-file git-describe.txt
//       --debug 0|1 --prerelease auto|on|off
//       --icon 127=kelvora.ico --string Key=Value ...
//       --out-version version.bin --out-table rsrc.bin
//
// The version block is VS_VERSIONINFO as the published format lays it out:
// a VS_FIXEDFILEINFO, one string table for translation 0409/04b0 (US
// English, UTF-16) and a VarFileInfo\Translation entry naming it. Its
// FileVersion string is the project's version, followed by the git
// description when the checkout is not exactly at the release tag.
//
// Prerelease ("auto"): the version is a prerelease when the checkout has a git
// description that is not exactly the release tag (v1.0.0 or 1.0.0), i.e. any
// commit after it, or changes not yet committed. A tree without git (a release
// tarball) is a release. "on" and "off" decide it outright.
//
// Outputs are rewritten only when their bytes change, so an unchanged
// description rebuilds nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kIconType = 3;
constexpr uint16_t kGroupIconType = 14;
constexpr uint16_t kLanguage = 0x0409; // US English
constexpr uint16_t kCodePage = 0x04b0; // Unicode (UTF-16)

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "kelvora_resgen: %s\n", what.c_str());
    std::exit(1);
}

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void Set16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

uint32_t Get16(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

uint32_t Get32(const Bytes& b, size_t at)
{
    return Get16(b, at) | Get16(b, at + 2) << 16;
}

void Align4(Bytes& b)
{
    while (b.size() % 4)
        b.push_back(0);
}

std::optional<Bytes> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteIfChanged(const std::string& path, const Bytes& bytes)
{
    if (ReadFile(path) == bytes)
        return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        Fail("cannot write " + path);
}

// UTF-8 (as CMake passes our texts) to UTF-16; malformed text stops the build.
std::u16string Utf16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const uint8_t c = uint8_t(s[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + size_t(extra) >= s.size())
            Fail("malformed UTF-8 in \"" + s + "\"");
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const uint8_t cc = uint8_t(s[i + size_t(k)]);
            if ((cc >> 6) != 2)
                Fail("malformed UTF-8 in \"" + s + "\"");
            cp = cp << 6 | (cc & 0x3F);
        }
        i += size_t(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

// One node of the version block: header words, key, value, children, each
// part starting on a 32-bit boundary. wLength leaves out the padding after
// the node; the parent holds it before the next child.
struct Node {
    std::string key;
    Bytes value;
    uint16_t valueLength = 0; // bytes for binary values, characters for text
    bool text = false;
    std::vector<Node> children;
};

Node TextNode(const std::string& key, const std::string& value)
{
    Node n{key, {}, 0, true, {}};
    std::u16string v = Utf16(value);
    v.push_back(u'\0');
    for (char16_t c : v)
        Put16(n.value, c);
    n.valueLength = uint16_t(v.size());
    return n;
}

Bytes Emit(const Node& n)
{
    Bytes b(6, 0);
    std::u16string key = Utf16(n.key);
    key.push_back(u'\0');
    for (char16_t c : key)
        Put16(b, c);
    Align4(b);
    b.insert(b.end(), n.value.begin(), n.value.end());
    for (const Node& child : n.children) {
        Align4(b);
        const Bytes c = Emit(child);
        b.insert(b.end(), c.begin(), c.end());
    }
    if (b.size() > 0xFFFF)
        Fail("version block too large");
    Set16(b, 0, uint32_t(b.size()));
    Set16(b, 2, n.valueLength);
    Set16(b, 4, n.text ? 1 : 0);
    return b;
}

// "1.2.3" into four 16-bit parts.
std::vector<uint32_t> VersionParts(const std::string& version)
{
    std::vector<uint32_t> parts;
    std::stringstream ss(version);
    std::string part;
    while (std::getline(ss, part, '.')) {
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos
            || part.size() > 5 || std::stoul(part) > 0xFFFF)
            Fail("version \"" + version + "\" is not up to four numbers below 65536");
        parts.push_back(uint32_t(std::stoul(part)));
    }
    if (parts.empty() || parts.size() > 4)
        Fail("version \"" + version + "\" is not up to four numbers below 65536");
    parts.resize(4, 0);
    return parts;
}

Bytes VersionBlock(const std::string& version, const std::string& describe, bool debug,
                   const std::string& prerelease, const std::vector<std::pair<std::string, std::string>>& strings)
{
    const bool atReleaseTag = describe.empty() || describe == version || describe == "v" + version;
    const bool isPrerelease = prerelease == "on" || (prerelease == "auto" && !atReleaseTag);
    const std::vector<uint32_t> v = VersionParts(version);
    const uint32_t ms = v[0] << 16 | v[1], ls = v[2] << 16 | v[3];

    Node root{"VS_VERSION_INFO", {}, 0, false, {}};
    Put32(root.value, 0xFEEF04BD);                  // dwSignature
    Put32(root.value, 0x00010000);                  // dwStrucVersion
    Put32(root.value, ms);                          // dwFileVersionMS
    Put32(root.value, ls);                          // dwFileVersionLS
    Put32(root.value, ms);                          // dwProductVersionMS
    Put32(root.value, ls);                          // dwProductVersionLS
    Put32(root.value, 0x3F);                        // dwFileFlagsMask
    Put32(root.value, (debug ? 1 : 0) | (isPrerelease ? 2 : 0)); // VS_FF_DEBUG, VS_FF_PRERELEASE
    Put32(root.value, 0);                           // dwFileOS: VOS_UNKNOWN, none of the listed systems
    Put32(root.value, 1);                           // dwFileType: VFT_APP
    Put32(root.value, 0);                           // dwFileSubtype
    Put32(root.value, 0);                           // dwFileDateMS: no date, so builds are reproducible
    Put32(root.value, 0);                           // dwFileDateLS
    root.valueLength = uint16_t(root.value.size());

    char table[9];
    std::snprintf(table, sizeof table, "%04x%04x", kLanguage, kCodePage);
    Node stringTable{table, {}, 0, true, {}};
    const std::string fileVersion = atReleaseTag ? version : version + " (git " + describe + ")";
    stringTable.children.push_back(TextNode("FileVersion", fileVersion));
    stringTable.children.push_back(TextNode("ProductVersion", version));
    for (const auto& [key, value] : strings)
        stringTable.children.push_back(TextNode(key, value));
    root.children.push_back(Node{"StringFileInfo", {}, 0, true, {stringTable}});

    Node translation{"Translation", {}, 4, false, {}};
    Put16(translation.value, kLanguage);
    Put16(translation.value, kCodePage);
    root.children.push_back(Node{"VarFileInfo", {}, 0, true, {translation}});
    return Emit(root);
}

struct Resource {
    uint16_t type, id;
    Bytes data;
};

// An .ico file as an icon group resource (14-byte entries naming RT_ICON ids)
// and its images, numbered on from `nextIconId`.
void AddIconGroup(std::vector<Resource>& out, uint16_t groupId, const std::string& path, uint16_t& nextIconId)
{
    const std::optional<Bytes> ico = ReadFile(path);
    if (!ico)
        Fail("cannot read " + path);
    const Bytes& f = *ico;
    if (f.size() < 6 || Get16(f, 0) != 0 || Get16(f, 2) != 1 || Get16(f, 4) == 0)
        Fail(path + " is not an icon file");
    const uint32_t count = Get16(f, 4);
    if (f.size() < 6 + 16 * size_t(count))
        Fail(path + " is cut short");
    Resource group{kGroupIconType, groupId, {}};
    Put16(group.data, 0);
    Put16(group.data, 1);
    Put16(group.data, count);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t e = 6 + 16 * size_t(i);
        const uint32_t bytes = Get32(f, e + 8), offset = Get32(f, e + 12);
        if (bytes == 0 || offset > f.size() || bytes > f.size() - offset)
            Fail(path + ": image " + std::to_string(i) + " lies outside the file");
        group.data.insert(group.data.end(), f.begin() + long(e), f.begin() + long(e) + 12);
        Put16(group.data, nextIconId);
        out.push_back({kIconType, nextIconId, Bytes(f.begin() + long(offset), f.begin() + long(offset + bytes))});
        ++nextIconId;
    }
    out.push_back(std::move(group));
}

Bytes ResourceTable(const std::vector<Resource>& resources)
{
    Bytes b{'K', 'V', 'R', 'S'};
    Put16(b, 1);
    Put16(b, uint32_t(resources.size()));
    b.resize(b.size() + 12 * resources.size(), 0);
    size_t entry = 8;
    for (const Resource& r : resources) {
        Align4(b);
        Set16(b, entry, r.type);
        Set16(b, entry + 2, r.id);
        const uint32_t offset = uint32_t(b.size()), size = uint32_t(r.data.size());
        Set16(b, entry + 4, offset & 0xFFFF);
        Set16(b, entry + 6, offset >> 16);
        Set16(b, entry + 8, size & 0xFFFF);
        Set16(b, entry + 10, size >> 16);
        b.insert(b.end(), r.data.begin(), r.data.end());
        entry += 12;
    }
    return b;
}

std::string Trimmed(std::string s)
{
    const size_t first = s.find_first_not_of(" \t\r\n");
    const size_t last = s.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

} // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> opt;
    std::vector<std::pair<std::string, std::string>> strings;
    std::vector<std::pair<uint16_t, std::string>> icons;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        const size_t eq = value.find('=');
        if (name == "--string" && eq != std::string::npos)
            strings.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        else if (name == "--icon" && eq != std::string::npos)
            icons.emplace_back(uint16_t(std::stoul(value.substr(0, eq))), value.substr(eq + 1));
        else
            opt[name] = value;
    }
    for (const char* required : {"--version", "--out-version", "--out-table"})
        if (!opt.count(required))
            Fail(std::string("missing ") + required);
    std::string describe;
    if (opt.count("--describe-file")) {
        if (const std::optional<Bytes> d = ReadFile(opt["--describe-file"]))
            describe = Trimmed(std::string(d->begin(), d->end()));
    }
    const std::string prerelease = opt.count("--prerelease") ? opt["--prerelease"] : "auto";
    if (prerelease != "auto" && prerelease != "on" && prerelease != "off")
        Fail("--prerelease takes auto, on or off");

    WriteIfChanged(opt["--out-version"],
                   VersionBlock(opt["--version"], describe, opt["--debug"] == "1", prerelease, strings));
    std::vector<Resource> resources;
    uint16_t nextIconId = 1;
    for (const auto& [id, path] : icons)
        AddIconGroup(resources, id, path, nextIconId);
    WriteIfChanged(opt["--out-table"], ResourceTable(resources));
    return 0;
}
