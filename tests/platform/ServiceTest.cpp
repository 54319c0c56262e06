// The service slot: a scoped install puts back what was there, and the one an
// install replaces ends outside the slot's lock, so it may use the slot itself.
#include "platform/Service.h"

#include <gtest/gtest.h>

namespace {

// With seenAtEnd, asks the slot for the current one as it goes.
struct Token {
    explicit Token(int i, int* seen = nullptr) : id(i), seenAtEnd(seen) {}
    ~Token();
    int id;
    int* seenAtEnd;
};

} // namespace

template <>
struct ServiceDefault<Token> {
    static std::unique_ptr<Token> Make() { return std::make_unique<Token>(0); }
};

Token::~Token()
{
    if (seenAtEnd)
        *seenAtEnd = CService<Token>::Get().id;
}

TEST(Service, ScopedInstallsNestAndTheReplacedOneEndsOutsideTheLock)
{
    EXPECT_EQ(CService<Token>::Get().id, 0);
    {
        const CScopedService<Token> outer(std::make_unique<Token>(1));
        {
            const CScopedService<Token> inner(std::make_unique<Token>(2));
            EXPECT_EQ(CService<Token>::Get().id, 2);
        }
        EXPECT_EQ(CService<Token>::Get().id, 1);
        CService<Token>::Install(std::make_unique<Token>(3));
    }
    // The outer guard puts back the default it found, whatever came between.
    EXPECT_EQ(CService<Token>::Get().id, 0);

    // The replaced one ends outside the lock: its destructor asks the slot
    // again, which inside the lock would hang.
    int seen = -1;
    CService<Token>::Install(std::make_unique<Token>(7, &seen));
    CService<Token>::Install(std::make_unique<Token>(8));
    EXPECT_EQ(seen, 8);
    CService<Token>::Install(nullptr);
}
