#include "midi/MidiNotifyTarget.h"

#include "midi/MIDIDevice.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);

namespace {

char g_handoff; // the address both sides of the hand-over name

// Sees every event of the UI thread before its receiver does.
class CHandoffAcquirer : public QObject {
protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        // Before anything reads the event, not even its type.
        __tsan_acquire(&g_handoff);
        return false;
    }
};

} // namespace

void CMidiNotifyTarget::AnnounceHandoff()
{
    __tsan_release(&g_handoff);
}

static void InstallHandoffAcquirer()
{
    // Called from the constructor, on the thread that opens ports (the UI
    // thread), before any port can post.
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            if (app->thread() == QThread::currentThread()) {
                auto* acquirer = new CHandoffAcquirer;
                acquirer->setParent(app);
                app->installEventFilter(acquirer);
            }
        }
    });
}
#else
void CMidiNotifyTarget::AnnounceHandoff() {}
static void InstallHandoffAcquirer() {}
#endif

namespace {

// A queued call, built whole before it is handed to the other thread.
class CQueuedCallEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x3C5);
    explicit CQueuedCallEvent(std::function<void()> fn) : QEvent(kType), m_fn(std::move(fn)) {}
    std::function<void()> m_fn;
};

class CCallContext : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() != CQueuedCallEvent::kType)
            return QObject::event(e);
        static_cast<CQueuedCallEvent*>(e)->m_fn();
        return true;
    }
};

} // namespace

std::unique_ptr<QObject> CMidiNotifyTarget::CreateCallContext()
{
    InstallHandoffAcquirer();
    return std::make_unique<CCallContext>();
}

void CMidiNotifyTarget::InvokeFromAnyThread(QObject* context, std::function<void()> fn)
{
    auto* event = new CQueuedCallEvent(std::move(fn));
    AnnounceHandoff();
    QCoreApplication::postEvent(context, event);
}

CMidiNotifyTarget::CMidiNotifyTarget(QObject* object) : m_pObject(object)
{
    InstallHandoffAcquirer();
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
    if (m_pObject) {
        auto* event = new CMidiDataEvent(packedMsg);
        AnnounceHandoff(); // after the event is built, before it is handed over
        QCoreApplication::postEvent(m_pObject, event);
    }
}

void CMidiNotifyTarget::Post(QEvent* event)
{
    std::lock_guard lock(m_mutex);
    if (m_pObject) {
        AnnounceHandoff();
        QCoreApplication::postEvent(m_pObject, event);
    } else {
        delete event;
    }
}

void CMidiNotifyTarget::Detach()
{
    QObject::disconnect(m_destroyed);
    std::lock_guard lock(m_mutex);
    m_pObject = nullptr;
}
