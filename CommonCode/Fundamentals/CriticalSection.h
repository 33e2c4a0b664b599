// The recursive lock that guards the process-wide objects.
#pragma once
#include <pthread.h>

namespace Brodix {

class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(CriticalSection const&) = delete;
    CriticalSection& operator=(CriticalSection const&) = delete;

    void enter();
    void leave();

    class Lock {
    public:
        explicit Lock(CriticalSection& section) : m_section(section) { m_section.enter(); }
        ~Lock() { m_section.leave(); }
        Lock(Lock const&) = delete;
        Lock& operator=(Lock const&) = delete;

    private:
        CriticalSection& m_section;
    };

private:
    pthread_mutex_t* m_mutex;
};

} // namespace Brodix
