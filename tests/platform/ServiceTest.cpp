// The service slot: what Get hands out as implementations come and go, and
// that an implementation replaced may itself still use the slot.
#include "platform/Service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class IToken {
public:
    virtual ~IToken() = default;
    virtual int Id() const = 0;
};

std::atomic<int> g_nDefaultsMade{0};

} // namespace

// The default counts as 0, and counts how often one is made.
template <>
struct ServiceDefault<IToken> {
    static std::unique_ptr<IToken> Make();
};

namespace {

class CToken : public IToken {
public:
    explicit CToken(int id) : m_nId(id) {}
    int Id() const override { return m_nId; }

private:
    int m_nId;
};

// Asks the slot for the current one as it goes.
class CAskingOnTheWayOut : public CToken {
public:
    explicit CAskingOnTheWayOut(int* seen) : CToken(7), m_pSeen(seen) {}
    ~CAskingOnTheWayOut() override { *m_pSeen = CService<IToken>::Get().Id(); }

private:
    int* m_pSeen;
};

} // namespace

std::unique_ptr<IToken> ServiceDefault<IToken>::Make()
{
    ++g_nDefaultsMade;
    return std::make_unique<CToken>(0);
}

TEST(Service, ScopedInstallsNestAndPutBackWhatWasThere)
{
    EXPECT_EQ(CService<IToken>::Get().Id(), 0);
    {
        const CScopedService<IToken> outer(std::make_unique<CToken>(1));
        EXPECT_EQ(CService<IToken>::Get().Id(), 1);
        {
            const CScopedService<IToken> inner(std::make_unique<CToken>(2));
            EXPECT_EQ(CService<IToken>::Get().Id(), 2);
        }
        EXPECT_EQ(CService<IToken>::Get().Id(), 1);

        // Install hands back the one it replaces; nothing installed is the default.
        const std::unique_ptr<IToken> taken = CService<IToken>::Install(nullptr);
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(taken->Id(), 1);
        EXPECT_EQ(CService<IToken>::Get().Id(), 0);
        CService<IToken>::Install(std::make_unique<CToken>(3));
    }
    // The outer guard puts back the default it found, whatever came between.
    EXPECT_EQ(CService<IToken>::Get().Id(), 0);
}

TEST(Service, TheReplacedOneEndsOutsideTheLock)
{
    // Its destructor asks the slot again: inside the lock that would hang.
    int seen = -1;
    CService<IToken>::Install(std::make_unique<CAskingOnTheWayOut>(&seen));
    CService<IToken>::Install(std::make_unique<CToken>(8));
    EXPECT_EQ(seen, 8);
    CService<IToken>::Install(nullptr);
}

TEST(Service, ThreadsAskingAtOnceShareOneDefault)
{
    CService<IToken>::Install(nullptr); // empty: the next Get makes the default
    const int before = g_nDefaultsMade.load();
    std::atomic<bool> go{false};
    std::vector<const IToken*> got(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go.load())
                std::this_thread::yield();
            got[i] = &CService<IToken>::Get();
        });
    }
    go = true;
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(g_nDefaultsMade.load() - before, 1);
    for (const IToken* p : got)
        EXPECT_EQ(p, got.front());
}
