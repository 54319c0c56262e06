#pragma once
// The object an open port reports to, and the way reports cross from a backend
// thread to the UI thread. A backend thread posts to the object while the UI
// thread may destroy it at any moment: the pointer is cleared, under a lock, by
// the object's own destroyed() signal (or when the port closes), and nothing is
// posted after that. A plain QPointer would not do: reading it on one thread
// while the object dies on another is a race.
#include <QMetaObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class QEvent;
class QObject;

class CMidiNotifyTarget {
public:
    explicit CMidiNotifyTarget(QObject* object);
    ~CMidiNotifyTarget();
    CMidiNotifyTarget(const CMidiNotifyTarget&) = delete;
    CMidiNotifyTarget& operator=(const CMidiNotifyTarget&) = delete;

    // Any thread. Posts a CMidiDataEvent with the message, in call order.
    void PostData(uint32_t packedMsg);
    // Any thread. Takes the event; posts it, or deletes it when there is no object.
    void Post(QEvent* event);
    // No more posting; safe to call twice.
    void Detach();

    // An object on the calling thread that runs what InvokeFromAnyThread()
    // queues for it, through that thread's event loop. Deleting it drops what
    // is still queued.
    static std::unique_ptr<QObject> CreateCallContext();
    // Queues fn to run on the context's thread; callable from any thread.
    static void InvokeFromAnyThread(QObject* context, std::function<void()> fn);

    // Thread sanitizer builds only: Qt's event queue is not instrumented, so the
    // hand-over of a posted event to the receiving thread is invisible to it and
    // every message would be reported as a race. This tells it about the
    // ordering the queue really provides. Nothing in other builds.
    static void AnnounceHandoff();

private:
    std::mutex m_mutex;
    QObject* m_pObject = nullptr;
    QMetaObject::Connection m_destroyed;
};
