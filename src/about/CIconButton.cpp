#include "about/CIconButton.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

CIconButton::CIconButton(QWidget* parent) : QPushButton(parent)
{
    setFlat(true);
}

int CIconButton::SystemIconSize()
{
    const int size = QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    return size > 0 ? size : 32;
}

void CIconButton::SetIcon(unsigned nIconId, const QString& strSource)
{
    m_nIconId = nIconId;
    m_strSource = strSource;
    const int cx = SystemIconSize(), cy = cx;
    resize(2 * cx + 13, 2 * cy + 13); // the frame, its shadow and a margin
    setEnabled(false);                // takes no clicks and no focus
    setFocusPolicy(Qt::NoFocus);

    const QString group = QStringLiteral("#%1").arg(nIconId);
    const int count = m_picture.GetImageCount(m_strSource, group);
    int nSingle = 0;
    bool bDouble = false;
    int nDouble = 0;
    for (int i = 0; i < count; ++i) {
        const QSize size = m_picture.GetImageSize(i, m_strSource, group);
        if (size == QSize(2 * cx, 2 * cy)) {
            bDouble = true;
            nDouble = i;
            break;
        }
        if (size == QSize(cx, cy))
            nSingle = i;
    }
    if (bDouble)
        m_picture.Load(nDouble, m_strSource, group, 2 * cx, 2 * cy);
    else
        m_picture.Load(nSingle, m_strSource, group, cx, cy);
    update();
}

void CIconButton::paintEvent(QPaintEvent*)
{
    // Nothing is erased: the frame covers what it needs, the rest shows the
    // dialog beneath.
    QPainter dc(this);
    DrawItem(dc);
}

void CIconButton::DrawItem(QPainter& dc)
{
    const int cx = SystemIconSize(), cy = cx;
    const QPalette& colours = palette();
    // Frame F from (2, 2) to (2cx + 10, 2cy + 10), exclusive; its shadow the
    // same moved by (5, 5), cut at the button's edge.
    QRect frame(QPoint(2, 2), QPoint(2 * cx + 9, 2 * cy + 9));
    dc.fillRect(frame.translated(5, 5), colours.color(QPalette::Active, QPalette::Dark));
    dc.fillRect(frame, Qt::black);
    frame.adjust(1, 1, -1, -1);
    dc.fillRect(frame, Qt::white);
    frame.adjust(1, 1, -1, -1);
    dc.fillRect(frame, colours.color(QPalette::Active, QPalette::Button));
    frame.adjust(2, 2, -2, -2); // 2cx x 2cy at (6, 6)
    m_picture.Render(&dc, frame, frame);
}
