#pragma once
// CIconPicture: one image of an icon, made at a requested size and kept for
// drawing. The icon comes from an .ico file or from an icon group among a
// program file's resources (this program's own file when no source is
// named). It can also tell how many images an icon has and how large each
// is, so that a caller can pick the one that suits.
//
// An icon source is a pair of texts, both with leading white space ignored:
// the source name (empty for this program's own file, else the path of an
// .ico file or of a program file) and the group name (the name of an icon
// group resource such as "#127"; empty when the source is an .ico file).
// Nothing here reports to the user: a source that does not pass the checks,
// an index beyond the count, a damaged directory or image gives a count of 0,
// a size of (0, 0) or a failed Load with an empty picture.
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>

class QPainter;

namespace IconPictureDetail {
class CIconSource;
}

class CIconPicture
{
public:
    // Images larger than this on a side are refused, read or requested; the
    // icon formats themselves describe at most 256.
    static constexpr int kMaxIconSide = 1024;

    CIconPicture();
    virtual ~CIconPicture();
    CIconPicture(const CIconPicture&) = delete;
    CIconPicture& operator=(const CIconPicture&) = delete;

    // Number of images of the icon; 0 when the source is not acceptable.
    // An .ico file must be a regular file named "*.ico" (any case) whose
    // header says icon (type 1) with at least one image. A named program file
    // must hold icon resources; this program's own file is taken as it is.
    uint16_t GetImageCount(const QString& strSource, const QString& strGroup) const;
    // Width and height of image nIndex as its own header gives them.
    QSize GetImageSize(int nIndex, const QString& strSource, const QString& strGroup) const;
    // Replaces the picture by image nIndex made at nWidth x nHeight (0: the
    // image's own width or height). Colour images with their AND mask and
    // PNG-compressed images are both taken. On failure the picture is empty.
    bool Load(int nIndex, const QString& strSource, const QString& strGroup, int nWidth = 0,
              int nHeight = 0);

    // The same three over the bytes of an .ico file held in memory: only the
    // checks of the file's name and kind are left out.
    static uint16_t GetFileImageCount(const QByteArray& icoFile);
    static QSize GetFileImageSize(int nIndex, const QByteArray& icoFile);
    bool LoadFromFileImage(int nIndex, const QByteArray& icoFile, int nWidth = 0, int nHeight = 0);

    bool IsIcon() const { return !m_icon.isNull(); }
    // Size of the icon held, (0, 0) when empty. A monochrome icon reports its
    // shown size, not the doubled height of its mask.
    QSize GetIconSize() const { return m_icon.size(); }
    // The two words of the directory entry of the last image loaded that
    // follow its one-byte fields (a cursor's hot spot; planes and bit count in
    // an icon). 0 before the first load.
    uint16_t GetHotSpotX() const { return m_wHotSpotX; }
    uint16_t GetHotSpotY() const { return m_wHotSpotY; }

    // Draws the icon over what is in dc, its transparent parts letting that
    // show: at the top-left corner of wndBounds and nowhere outside it, at
    // the icon's own size when bounds has that size, otherwise stretched to
    // the size of bounds. An empty picture draws nothing.
    void Render(QPainter* pDC, const QRect& bounds, const QRect& wndBounds) const;

private:
    bool LoadFrom(const IconPictureDetail::CIconSource* pSource, int nIndex, int nWidth, int nHeight);

    QImage m_icon;
    uint16_t m_wHotSpotX = 0;
    uint16_t m_wHotSpotY = 0;
};
