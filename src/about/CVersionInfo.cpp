#include "about/CVersionInfo.h"

#include "about/ModuleResources.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A version block is a tree of nodes, each:
//   u16 wLength       the node's bytes, children included, trailing padding not
//   u16 wValueLength  characters for a text value, bytes for a binary one
//   u16 wType         1 text, 0 binary
//   UTF-16 key, zero-terminated; padding to 32 bits
//   value; padding to 32 bits
//   children, each starting on a 32-bit boundary, up to wLength
// Boundaries are counted from the block's start. Nothing is trusted: every
// node must lie inside its parent, and a node of fewer than 6 bytes ends the
// walk, so it always moves forward and never leaves the block.
struct Node {
    qsizetype end = 0;        // one past the node's last byte
    QString key;
    bool text = false;
    uint16_t valueLength = 0; // as the node declares it
    qsizetype valueStart = 0;
    qsizetype valueBytes = 0; // the part of the value inside the node
    qsizetype childrenStart = 0;
};

uint16_t Le16(const QByteArray& b, qsizetype at)
{
    return uint16_t(uchar(b[at]) | uchar(b[at + 1]) << 8);
}

uint32_t Le32(const QByteArray& b, qsizetype at)
{
    return uint32_t(Le16(b, at)) | uint32_t(Le16(b, at + 2)) << 16;
}

qsizetype Align4(qsizetype at)
{
    return (at + 3) & ~qsizetype(3);
}

// The node at `at`, which must fit in [at, limit).
std::optional<Node> ParseNode(const QByteArray& b, qsizetype at, qsizetype limit)
{
    if (limit - at < 6)
        return std::nullopt;
    const qsizetype length = Le16(b, at);
    const uint16_t type = Le16(b, at + 4);
    if (length < 6 || length > limit - at || type > 1)
        return std::nullopt;
    Node n;
    n.end = at + length;
    n.valueLength = Le16(b, at + 2);
    n.text = type == 1;
    qsizetype p = at + 6;
    for (;; p += 2) {
        if (n.end - p < 2)
            return std::nullopt; // key without its terminator
        const uint16_t c = Le16(b, p);
        if (c == 0)
            break;
        n.key.append(QChar(char16_t(c)));
    }
    n.valueStart = std::min(Align4(p + 2), n.end);
    const qsizetype declared = n.text ? qsizetype(n.valueLength) * 2 : n.valueLength;
    const qsizetype available = n.end - n.valueStart;
    if (declared > available) {
        // Writers disagree on whether a text length counts bytes or
        // characters; what lies inside the node is kept, a binary value that
        // does not fit is damage.
        if (!n.text)
            return std::nullopt;
        n.valueBytes = available & ~qsizetype(1);
    } else {
        n.valueBytes = declared;
    }
    n.childrenStart = std::min(Align4(n.valueStart + n.valueBytes), n.end);
    return n;
}

// The node a path like "\StringFileInfo\040904b0\FileVersion" names; "\" is
// the root. Keys compare without regard to case, as the published lookup does.
std::optional<Node> Query(const QByteArray& block, const QString& path)
{
    std::optional<Node> node = ParseNode(block, 0, block.size());
    const QStringList keys = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& key : keys) {
        if (!node)
            return std::nullopt;
        std::optional<Node> found;
        for (qsizetype at = node->childrenStart; !found;) {
            at = Align4(at);
            const std::optional<Node> child = ParseNode(block, at, node->end);
            if (!child)
                break; // the end of the children, or damage: the rest is not read
            if (child->key.compare(key, Qt::CaseInsensitive) == 0)
                found = child;
            at = child->end;
        }
        node = found;
    }
    return node;
}

} // namespace

CVersionInfo::CVersionInfo()
    : m_fixedInfo{}, m_wLanguage(kDefaultLanguage), m_wCodePage(kDefaultCodePage)
{
}

CVersionInfo::~CVersionInfo() = default;

bool CVersionInfo::Read(const QString& fileOrModule)
{
    // A failed read must not leave the previous file's block answering.
    m_block.clear();
    m_fixedInfo = {};
    m_wLanguage = kDefaultLanguage;
    m_wCodePage = kDefaultCodePage;
    const QString path = ModuleResources::ResolvePath(fileOrModule);
    if (path.isEmpty())
        return false;
    ModuleResources::CModuleFile file;
    if (!file.Open(path))
        return false;
    const std::optional<QByteArray> block =
        file.Find(ModuleResources::kVersion, ModuleResources::kVersionBlockId);
    return block && ReadBlock(*block);
}

bool CVersionInfo::ReadBlock(const QByteArray& block)
{
    m_fixedInfo = {};
    m_wLanguage = kDefaultLanguage;
    m_wCodePage = kDefaultCodePage;
    m_block = block;
    const std::optional<Node> root = Query(m_block, QStringLiteral("\\"));
    if (!root || root->valueBytes < qsizetype(sizeof m_fixedInfo))
        return false;
    uint32_t words[13];
    for (int i = 0; i < 13; ++i)
        words[i] = Le32(m_block, root->valueStart + 4 * i);
    std::memcpy(&m_fixedInfo, words, sizeof m_fixedInfo);

    const std::optional<Node> translation = Query(m_block, QStringLiteral("\\VarFileInfo\\Translation"));
    if (translation && translation->valueBytes >= 4) {
        m_wLanguage = Le16(m_block, translation->valueStart);
        m_wCodePage = Le16(m_block, translation->valueStart + 2);
    }
    return m_fixedInfo.dwSignature == VS_FFI_SIGNATURE;
}

bool CVersionInfo::GetString(const QString& key, QString* pValue) const
{
    if (!pValue)
        return false;
    pValue->clear();
    if (m_block.isEmpty())
        return false;
    const QString path = QString::asprintf("\\StringFileInfo\\%04x%04x\\", m_wLanguage, m_wCodePage) + key;
    const std::optional<Node> node = Query(m_block, path);
    if (!node || node->valueLength == 0)
        return false;
    // The text ends at its terminator, which must lie inside the node; the
    // declared length may or may not count it.
    const qsizetype declaredChars = node->text ? node->valueLength : node->valueLength / 2;
    QString value;
    for (qsizetype p = node->valueStart;; p += 2) {
        if (node->end - p < 2)
            return false;
        const uint16_t c = Le16(m_block, p);
        if (c == 0)
            break;
        if (value.size() < declaredChars)
            value.append(QChar(char16_t(c)));
    }
    *pValue = value;
    return true;
}
