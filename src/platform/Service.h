#pragma once
// One process-wide slot per service interface, so that a layer can use a
// service whose real implementation lives above it (the dialogs) or talks to
// the system (the MIDI backend, the bell), and tests can put a fake in its
// place. Every service is handed in the same way: CService<IFoo>::Install at
// start-up, CService<IFoo>::Get wherever it is used, a CScopedService<IFoo>
// around a test.
//
// The interface's own header says what the slot holds until something is
// installed, by specialising ServiceDefault next to the interface:
//
//     template <> struct ServiceDefault<IFoo> { static std::unique_ptr<IFoo> Make(); };
//
// A slot whose interface has no such default does not compile.
#include <memory>
#include <mutex>

template <class T>
struct ServiceDefault;

template <class T>
class CService {
public:
    CService() = delete;

    // The installed implementation, or the default (made on first use and
    // again after Install(nullptr)). Any thread. The reference stays good
    // until the next Install: services are replaced at start-up and by tests,
    // not while others are using them.
    static T& Get()
    {
        std::lock_guard lock(s_mutex);
        if (!s_pImpl)
            s_pImpl = ServiceDefault<T>::Make();
        return *s_pImpl;
    }

    // Puts impl in the slot (nullptr: back to the default) and hands back the
    // one it replaces, so that it ends outside the lock: a backend's threads
    // may take a moment to end, and its destructor may ask for a service.
    static std::unique_ptr<T> Install(std::unique_ptr<T> impl)
    {
        std::lock_guard lock(s_mutex);
        std::swap(s_pImpl, impl);
        return impl;
    }

private:
    static inline std::mutex s_mutex;
    static inline std::unique_ptr<T> s_pImpl;
};

// Installs an implementation for the guard's lifetime and then puts back
// whatever was there before (nothing: the default again). Guards nest.
template <class T>
class CScopedService {
public:
    explicit CScopedService(std::unique_ptr<T> impl)
        : m_pPrevious(CService<T>::Install(std::move(impl)))
    {
    }
    ~CScopedService() { CService<T>::Install(std::move(m_pPrevious)); }
    CScopedService(const CScopedService&) = delete;
    CScopedService& operator=(const CScopedService&) = delete;

private:
    std::unique_ptr<T> m_pPrevious;
};
