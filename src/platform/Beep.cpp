#include "platform/Beep.h"

#include <QApplication>
#include <QMetaObject>

namespace {

class CSystemBell : public IBeep {
public:
    void Beep() override { QApplication::beep(); }
};

} // namespace

std::unique_ptr<IBeep> ServiceDefault<IBeep>::Make()
{
    return std::make_unique<CSystemBell>();
}

CBeepRelay::CBeepRelay(std::function<void()> sound, QObject* parent)
    : QObject(parent)
    , m_sound(std::move(sound))
{
    connect(&m_wake, &CThreadWake::Woken, this, &CBeepRelay::Sound);
}

void CBeepRelay::Post()
{
    if (m_wake.IsValid()) {
        m_wake.Post();
        return;
    }
    // No eventfd to be had (out of descriptors): a queued call still gets there.
    QMetaObject::invokeMethod(this, &CBeepRelay::Sound, Qt::QueuedConnection);
}

void CBeepRelay::Sound()
{
    if (m_sound)
        m_sound();
}
