#include "dialogs/CSpinButtonCtrl.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <climits>

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent)
    : QWidget(parent), m_pUp(new QToolButton(this)), m_pDown(new QToolButton(this))
{
    // Like a classic up-down control the arrows are no tab stop: the edit is.
    for (QToolButton* b : {m_pUp, m_pDown}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setAutoRaise(false);
    }
    m_pUp->setArrowType(Qt::UpArrow);
    m_pDown->setArrowType(Qt::DownArrow);
    m_pUp->setObjectName(QStringLiteral("up"));
    m_pDown->setObjectName(QStringLiteral("down"));
    connect(m_pUp, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_pDown, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CSpinButtonCtrl::SetBuddy(QLineEdit* buddy)
{
    if (m_pBuddy)
        m_pBuddy->removeEventFilter(this);
    m_pBuddy = buddy;
    if (!buddy)
        return;
    buddy->installEventFilter(this);
    const QRect r = buddy->geometry();
    const int width =
        std::min(r.width() / 2, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
    buddy->setGeometry(r.adjusted(0, 0, -width, 0));
    setGeometry(r.right() - width + 1, r.top(), width, r.height());
}

void CSpinButtonCtrl::SetRange(int lower, int upper)
{
    m_nLower = std::min(lower, upper);
    m_nUpper = std::max(lower, upper);
    m_nPos = std::clamp(m_nPos, m_nLower, m_nUpper);
}

int CSpinButtonCtrl::GetPos() const
{
    if (m_pBuddy) {
        bool ok = false;
        const int value = m_pBuddy->text().trimmed().toInt(&ok, 10);
        if (ok)
            m_nPos = std::clamp(value, m_nLower, m_nUpper);
    }
    return m_nPos;
}

void CSpinButtonCtrl::SetPos(int pos)
{
    m_nPos = std::clamp(pos, m_nLower, m_nUpper);
    if (m_pBuddy)
        m_pBuddy->setText(QString::number(m_nPos));
}

void CSpinButtonCtrl::SetPos(uint32_t pos)
{
    SetPos(static_cast<int>(std::min<uint32_t>(pos, INT_MAX)));
}

void CSpinButtonCtrl::Step(int delta)
{
    if (!isEnabled())
        return;
    const int pos = GetPos();
    const int target = std::clamp(pos + delta, m_nLower, m_nUpper);
    emit DeltaPos(pos, target - pos);
    SetPos(target);
}

bool CSpinButtonCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pBuddy && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent*)
{
    const int upper = height() / 2;
    m_pUp->setGeometry(0, 0, width(), upper);
    m_pDown->setGeometry(0, upper, width(), height() - upper);
}
