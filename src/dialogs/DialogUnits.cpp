#include "dialogs/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    // The average width of the 52 Latin letters, as dialog managers measure it.
    const int width = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = qMax(1, (width / 26 + 1) / 2);
    m_nBaseY = qMax(1, fm.height());
}

CDialogUnits CDialogUnits::For(const QWidget* widget)
{
    return CDialogUnits(widget->font());
}

void PlaceAt(QWidget* child, const CDialogUnits& du, int left, int top, int width, int height)
{
    child->setGeometry(du.Rect(left, top, width, height));
}
