#include "midi/CPortReconnect.h"

#include "midi/MidiNotifyTarget.h"
#include "platform/MidiBackend.h"

#include <QObject>
#include <QTimer>

CPortReconnect::CPortReconnect(std::function<void()> retry)
    : m_retry(std::move(retry))
    , m_pContext(CMidiNotifyTarget::CreateCallContext())
    , m_pTimer(new QTimer(m_pContext.get()))
{
    m_pTimer->setInterval(kRetryMs);
    QObject::connect(m_pTimer, &QTimer::timeout, m_pContext.get(), [this] { m_retry(); });
}

CPortReconnect::~CPortReconnect()
{
    Disarm();
}

void CPortReconnect::Arm()
{
    if (m_pBackend)
        return;
    m_pBackend = &MidiSystem::Backend();
    QObject* context = m_pContext.get();
    // A backend thread tells; the retry runs here, after whatever the UI
    // thread is doing now. Queued calls are dropped with the context.
    m_nListener = m_pBackend->AddPortsListener([this, context] {
        CMidiNotifyTarget::InvokeFromAnyThread(context, [this] {
            if (IsArmed())
                m_retry();
        });
    });
    m_pTimer->start();
}

void CPortReconnect::Disarm()
{
    if (!m_pBackend)
        return;
    m_pTimer->stop();
    // After this no listener call runs or starts; calls already queued find
    // the reconnect disarmed.
    if (m_pBackend == &MidiSystem::Backend())
        m_pBackend->RemovePortsListener(m_nListener);
    m_pBackend = nullptr;
    m_nListener = 0;
}
