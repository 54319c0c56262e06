#include "about/CIconPicture.h"

#include "about/ModuleResources.h"
#include "gfx/CDib.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <climits>
#include <memory>
#include <optional>

namespace IconPictureDetail {

namespace {

// The published icon layouts: a 6-byte directory header (reserved, type,
// count), then 16-byte entries in a file or 14-byte entries in a group
// resource. Both kinds of entry begin with four one-byte fields and two
// words, followed by the image's byte count; a file entry ends in the image's
// offset, a group entry in the id of its image resource.
constexpr qint64 kHeaderSize = 6;
constexpr qint64 kFileEntrySize = 16;
constexpr qint64 kGroupEntrySize = 14;
constexpr int kOffType = 2;
constexpr int kOffCount = 4;
constexpr int kEntryOffWord1 = 4;
constexpr int kEntryOffWord2 = 6;
constexpr int kEntryOffBytes = 8;
constexpr int kEntryOffWhere = 12;
constexpr uint16_t kTypeIcon = 1;
// What is read of an image to learn its size: the info header and a little
// more, enough for a PNG's IHDR as well.
constexpr qint64 kImageHeadSize = 48;

const QByteArray& PngSignature()
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    return signature;
}

uint16_t Le16(const QByteArray& b, qsizetype off)
{
    return qFromLittleEndian<quint16>(b.constData() + off);
}

uint32_t Le32(const QByteArray& b, qsizetype off)
{
    return qFromLittleEndian<quint32>(b.constData() + off);
}

QString WithoutLeadingSpace(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return text.mid(i);
}

bool HasIcoExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && fileName.mid(dot + 1).toUpper() == QLatin1String("ICO");
}

} // namespace

struct DirEntry {
    uint16_t wWord1 = 0; // planes in an icon, hot spot x in a cursor
    uint16_t wWord2 = 0; // bit count in an icon, hot spot y in a cursor
    uint32_t dwBytes = 0;
    uint32_t dwWhere = 0; // file offset, or the id of the image resource
    bool IsValid() const { return dwBytes != 0; }
};

// Where an icon's directory and images are read from. Every read is checked
// against what is there, so a lying directory only ever finds nothing.
class CIconSource
{
public:
    virtual ~CIconSource() = default;
    uint16_t Count() const { return m_nCount; }
    // A cleared (invalid) entry for an index outside the count or past the
    // end of the directory.
    virtual DirEntry Entry(int nIndex) const = 0;
    // The first kImageHeadSize bytes of the entry's image.
    virtual std::optional<QByteArray> ImageHead(const DirEntry& entry) const = 0;
    // The whole image.
    virtual std::optional<QByteArray> Image(const DirEntry& entry) const = 0;

protected:
    uint16_t m_nCount = 0;
};

namespace {

// An .ico file on disk or held in memory, read piece by piece so that a
// large file costs only what is asked of it.
class CFileSource : public CIconSource
{
public:
    explicit CFileSource(std::unique_ptr<QIODevice> device)
        : m_device(std::move(device)), m_nSize(m_device->size())
    {
        if (const QByteArray header = ReadAt(0, kHeaderSize); !header.isEmpty()) {
            m_nType = Le16(header, kOffType);
            m_nCount = Le16(header, kOffCount);
        }
    }

    bool IsIconFile() const { return m_nType == kTypeIcon && m_nCount != 0; }

    DirEntry Entry(int nIndex) const override
    {
        DirEntry entry;
        if (nIndex < 0 || nIndex >= m_nCount)
            return entry;
        const QByteArray bytes = ReadAt(kHeaderSize + kFileEntrySize * nIndex, kFileEntrySize);
        if (bytes.isEmpty())
            return entry;
        entry.wWord1 = Le16(bytes, kEntryOffWord1);
        entry.wWord2 = Le16(bytes, kEntryOffWord2);
        entry.dwBytes = Le32(bytes, kEntryOffBytes);
        entry.dwWhere = Le32(bytes, kEntryOffWhere);
        return entry;
    }

    std::optional<QByteArray> ImageHead(const DirEntry& entry) const override
    {
        return Optional(ReadAt(entry.dwWhere, kImageHeadSize));
    }

    std::optional<QByteArray> Image(const DirEntry& entry) const override
    {
        // Checked against the file before anything is allocated: a byte count
        // of gigabytes in a small file asks for nothing.
        if (entry.dwBytes > CDib::kMaxBlockSize)
            return std::nullopt;
        return Optional(ReadAt(entry.dwWhere, entry.dwBytes));
    }

private:
    static std::optional<QByteArray> Optional(QByteArray bytes)
    {
        if (bytes.isEmpty())
            return std::nullopt;
        return bytes;
    }

    // Exactly length bytes at offset, or nothing when the file is shorter.
    QByteArray ReadAt(qint64 offset, qint64 length) const
    {
        if (length <= 0 || offset < 0 || offset > m_nSize || length > m_nSize - offset
            || !m_device->seek(offset))
            return QByteArray();
        QByteArray bytes = m_device->read(length);
        return bytes.size() == length ? bytes : QByteArray();
    }

    std::unique_ptr<QIODevice> m_device;
    qint64 m_nSize = 0;
    uint16_t m_nType = 0;
};

// An icon group among a program file's resources; its entries name image
// resources by id.
class CModuleSource : public CIconSource
{
public:
    // False when the file cannot be read, or, for a named file (bCheck),
    // when it holds no icon resources of any kind.
    bool Open(const QString& strPath, const QString& strGroup, bool bCheck)
    {
        using namespace ModuleResources;
        if (strPath.isEmpty() || !m_module.Open(strPath))
            return false;
        if (bCheck && !m_module.Has(kGroupIcon) && !m_module.Has(kIcon) && !m_module.Has(kAniIcon))
            return false;
        if (std::optional<QByteArray> group = m_module.Find(kGroupIcon, strGroup);
            group && group->size() >= kHeaderSize) {
            m_group = std::move(*group);
            m_nCount = Le16(m_group, kOffCount);
        }
        return true;
    }

    DirEntry Entry(int nIndex) const override
    {
        DirEntry entry;
        if (nIndex < 0 || nIndex >= m_nCount)
            return entry;
        const qint64 at = kHeaderSize + kGroupEntrySize * nIndex;
        if (m_group.size() < at + kGroupEntrySize)
            return entry;
        entry.wWord1 = Le16(m_group, at + kEntryOffWord1);
        entry.wWord2 = Le16(m_group, at + kEntryOffWord2);
        entry.dwBytes = Le32(m_group, at + kEntryOffBytes);
        entry.dwWhere = Le16(m_group, at + kEntryOffWhere);
        return entry;
    }

    std::optional<QByteArray> ImageHead(const DirEntry& entry) const override
    {
        std::optional<QByteArray> image = Image(entry);
        if (image)
            image->truncate(kImageHeadSize);
        return image;
    }

    std::optional<QByteArray> Image(const DirEntry& entry) const override
    {
        std::optional<QByteArray> image = m_module.Find(ModuleResources::kIcon, uint16_t(entry.dwWhere));
        if (!image || image->size() < kImageHeadSize)
            return std::nullopt;
        return image;
    }

private:
    ModuleResources::CModuleFile m_module;
    QByteArray m_group;
};

// An icon file on a device not yet open; null unless it reads as one.
std::unique_ptr<CFileSource> OpenIconFile(std::unique_ptr<QIODevice> device)
{
    if (!device->open(QIODevice::ReadOnly))
        return nullptr;
    auto icon = std::make_unique<CFileSource>(std::move(device));
    if (!icon->IsIconFile())
        return nullptr;
    return icon;
}

std::unique_ptr<CIconSource> OpenSource(const QString& strSource, const QString& strGroup)
{
    const QString source = WithoutLeadingSpace(strSource);
    const QString group = WithoutLeadingSpace(strGroup);
    if (group.isEmpty()) {
        // Only a regular file: a directory has no header, and a pipe or a
        // device named *.ico must not block or be read forever.
        const QFileInfo info(source);
        if (source.isEmpty() || !info.isFile() || !HasIcoExtension(info.fileName()))
            return nullptr;
        return OpenIconFile(std::make_unique<QFile>(source));
    }
    auto module = std::make_unique<CModuleSource>();
    if (!module->Open(ModuleResources::ResolvePath(source), group, !source.isEmpty()))
        return nullptr;
    return module;
}

std::unique_ptr<CFileSource> OpenFileImage(const QByteArray& icoFile)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(icoFile);
    return OpenIconFile(std::move(buffer));
}

QSize ImageSize(const CIconSource* pSource, int nIndex)
{
    if (!pSource)
        return QSize(0, 0);
    const DirEntry entry = pSource->Entry(nIndex);
    if (!entry.IsValid())
        return QSize(0, 0);
    const std::optional<QByteArray> head = pSource->ImageHead(entry);
    if (!head)
        return QSize(0, 0);
    int64_t width = 0, height = 0;
    if (head->startsWith(PngSignature())) {
        // IHDR follows the signature: its length, its name, then the
        // big-endian width and height.
        if (head->mid(12, 4) == "IHDR") {
            width = qFromBigEndian<quint32>(head->constData() + 16);
            height = qFromBigEndian<quint32>(head->constData() + 20);
        }
    } else {
        // biWidth, and biHeight counting the colour rows and the mask rows.
        width = int32_t(Le32(*head, 4));
        height = int32_t(Le32(*head, 8)) / 2;
    }
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
        return QSize(0, 0);
    return QSize(int(width), int(height));
}

QImage DecodePng(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer, "png");
    // The header is read first so that a small file claiming a vast picture
    // is refused before any pixels are allocated.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > CIconPicture::kMaxIconSide
        || size.height() > CIconPicture::kMaxIconSide)
        return QImage();
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}

// The icon of one image at the given size (0: the image's own): a PNG, or a
// colour image with its AND mask.
QImage MakeIcon(const QByteArray& image, int nWidth, int nHeight)
{
    QImage icon;
    if (image.startsWith(PngSignature())) {
        icon = DecodePng(image);
    } else {
        CDib dib;
        if (dib.LoadFromIconImage(image) && dib.GetSize().width() <= CIconPicture::kMaxIconSide
            && dib.GetSize().height() <= CIconPicture::kMaxIconSide)
            icon = dib.CreateIconImage();
    }
    if (icon.isNull())
        return icon;
    const QSize size(nWidth != 0 ? nWidth : icon.width(), nHeight != 0 ? nHeight : icon.height());
    icon = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (icon.size() != size)
        icon = icon.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return icon;
}

} // namespace

} // namespace IconPictureDetail

using namespace IconPictureDetail;

CIconPicture::CIconPicture() = default;
CIconPicture::~CIconPicture() = default;

uint16_t CIconPicture::GetImageCount(const QString& strSource, const QString& strGroup) const
{
    const std::unique_ptr<CIconSource> source = OpenSource(strSource, strGroup);
    return source ? source->Count() : 0;
}

QSize CIconPicture::GetImageSize(int nIndex, const QString& strSource, const QString& strGroup) const
{
    return ImageSize(OpenSource(strSource, strGroup).get(), nIndex);
}

bool CIconPicture::Load(int nIndex, const QString& strSource, const QString& strGroup, int nWidth,
                        int nHeight)
{
    return LoadFrom(OpenSource(strSource, strGroup).get(), nIndex, nWidth, nHeight);
}

uint16_t CIconPicture::GetFileImageCount(const QByteArray& icoFile)
{
    const std::unique_ptr<CFileSource> source = OpenFileImage(icoFile);
    return source ? source->Count() : 0;
}

QSize CIconPicture::GetFileImageSize(int nIndex, const QByteArray& icoFile)
{
    return ImageSize(OpenFileImage(icoFile).get(), nIndex);
}

bool CIconPicture::LoadFromFileImage(int nIndex, const QByteArray& icoFile, int nWidth, int nHeight)
{
    return LoadFrom(OpenFileImage(icoFile).get(), nIndex, nWidth, nHeight);
}

bool CIconPicture::LoadFrom(const CIconSource* pSource, int nIndex, int nWidth, int nHeight)
{
    m_icon = QImage();
    if (!pSource || nWidth < 0 || nHeight < 0 || nWidth > kMaxIconSide || nHeight > kMaxIconSide)
        return false;
    const DirEntry entry = pSource->Entry(nIndex);
    if (!entry.IsValid())
        return false;
    m_wHotSpotX = entry.wWord1;
    m_wHotSpotY = entry.wWord2;
    if (const std::optional<QByteArray> image = pSource->Image(entry))
        m_icon = MakeIcon(*image, nWidth, nHeight);
    return IsIcon();
}

void CIconPicture::Render(QPainter* pDC, const QRect& bounds, const QRect& wndBounds) const
{
    if (!pDC || !IsIcon() || wndBounds.isEmpty())
        return;
    // A bounds side of 0 or less stands for the icon's own.
    QSize size = m_icon.size();
    if (bounds.size() != size) {
        if (bounds.width() > 0)
            size.setWidth(bounds.width());
        if (bounds.height() > 0)
            size.setHeight(bounds.height());
    }
    pDC->save();
    pDC->setClipRect(wndBounds, Qt::IntersectClip);
    pDC->setCompositionMode(QPainter::CompositionMode_SourceOver);
    pDC->setRenderHint(QPainter::SmoothPixmapTransform);
    pDC->drawImage(QRect(wndBounds.topLeft(), size), m_icon);
    pDC->restore();
}
