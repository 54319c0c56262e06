#include "midi/MidiNotifyTarget.h"

#include "midi/MIDIDevice.h"

#include <QCoreApplication>
#include <QObject>

CMidiNotifyTarget::CMidiNotifyTarget(QObject* object) : m_pObject(object)
{
    if (object) {
        // Direct: runs in the dying object's thread before it is gone, and waits
        // for a post in progress to finish.
        m_destroyed = QObject::connect(object, &QObject::destroyed, [this] {
            std::lock_guard lock(m_mutex);
            m_pObject = nullptr;
        });
    }
}

CMidiNotifyTarget::~CMidiNotifyTarget()
{
    Detach();
}

void CMidiNotifyTarget::PostData(uint32_t packedMsg)
{
    std::lock_guard lock(m_mutex);
    if (m_pObject)
        QCoreApplication::postEvent(m_pObject, new CMidiDataEvent(packedMsg));
}

void CMidiNotifyTarget::Post(QEvent* event)
{
    std::lock_guard lock(m_mutex);
    if (m_pObject)
        QCoreApplication::postEvent(m_pObject, event);
    else
        delete event;
}

void CMidiNotifyTarget::Detach()
{
    QObject::disconnect(m_destroyed);
    std::lock_guard lock(m_mutex);
    m_pObject = nullptr;
}
