// The structured-exception guard under Wine: real faults, nesting, and C++ exceptions passing
// through it with the exception-registration chain (32-bit) left as it was.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "diagnostics/seh_guard.h"

namespace linkmoor {
namespace {

// The head of the thread's exception-registration chain, which the 32-bit guard must leave as
// it found it. 64-bit Windows has no such chain (handlers come from unwind tables), so there the
// guard leaves no state behind to compare.
void* ChainHead() {
#if defined(__i386__)
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
#else
    return nullptr;
#endif
}

volatile uintptr_t g_badAddress = 1;
volatile size_t g_sink;

void StrlenOnBadPointer() { g_sink = std::strlen(reinterpret_cast<const char*>(g_badAddress)); }
void WriteToAddressOne() { *reinterpret_cast<volatile int*>(g_badAddress) = 7; }
void ReadNullPointer() { g_sink = *reinterpret_cast<volatile int*>(g_badAddress - 1); }
void DivideByZero() {
    volatile int zero = 0;
    g_sink = size_t(100 / zero);
}
void RaiseSoftwareException() { RaiseException(0xE0001234, 0, 0, nullptr); }
void RaiseNonContinuable() { RaiseException(0xE0005678, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

struct Fault {
    const char* name;
    void (*raise)();
};

const Fault kFaults[] = {
    {"strlen on a bad pointer", StrlenOnBadPointer},
    {"write to address 1", WriteToAddressOne},
    {"read through a null pointer", ReadNullPointer},
    {"integer division by zero", DivideByZero},
    {"RaiseException", RaiseSoftwareException},
    {"non-continuable RaiseException", RaiseNonContinuable},
};

TEST(SehGuard, NormalReturnRunsTheFunctionOnceAndLeavesTheChain) {
    void* before = ChainHead();
    int calls = 0;
    EXPECT_TRUE(RunGuarded([](void* c) { ++*static_cast<int*>(c); }, &calls));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ChainHead(), before);
}

TEST(SehGuard, EachKindOfFaultIsCaughtRepeatedly) {
    void* before = ChainHead();
    for (const Fault& fault : kFaults) {
        for (int i = 0; i < 50; ++i) {
            bool reachedFault = false;
            bool passedFault = false;
            bool result = RunGuarded([&] {
                reachedFault = true;
                fault.raise();
                passedFault = true;
            });
            ASSERT_FALSE(result) << fault.name << ", round " << i;
            EXPECT_TRUE(reachedFault) << fault.name;
            EXPECT_FALSE(passedFault) << fault.name;
            ASSERT_EQ(ChainHead(), before) << fault.name << ", round " << i;
        }
    }
}

TEST(SehGuard, InnerGuardCatchesItsOwnFaultAndTheOuterGoesOn) {
    void* before = ChainHead();
    bool innerResult = true;
    bool outerFinished = false;
    bool outerResult = RunGuarded([&] {
        innerResult = RunGuarded([] { WriteToAddressOne(); });
        outerFinished = true;
    });
    EXPECT_FALSE(innerResult);
    EXPECT_TRUE(outerFinished);
    EXPECT_TRUE(outerResult);
    EXPECT_EQ(ChainHead(), before);
}

TEST(SehGuard, FaultAfterAnInnerGuardIsCaughtByTheOuter) {
    void* before = ChainHead();
    bool innerResult = false;
    bool outerResult = RunGuarded([&] {
        innerResult = RunGuarded([] {});
        StrlenOnBadPointer();
    });
    EXPECT_TRUE(innerResult);
    EXPECT_FALSE(outerResult);
    EXPECT_EQ(ChainHead(), before);
}

TEST(SehGuard, DeeplyNestedGuardsEachCatchAtTheirLevel) {
    void* before = ChainHead();
    struct Level {
        int depth;
        int caught;
    };
    // Each level runs the next under its own guard and then faults itself.
    struct Recurse {
        static void Run(void* c) {
            auto* level = static_cast<Level*>(c);
            if (level->depth == 0) WriteToAddressOne();
            --level->depth;
            if (!RunGuarded(&Recurse::Run, level)) ++level->caught;
            WriteToAddressOne();
        }
    };
    Level level{8, 0};
    EXPECT_FALSE(RunGuarded(&Recurse::Run, &level));
    EXPECT_EQ(level.caught, 8);
    EXPECT_EQ(ChainHead(), before);
}

TEST(SehGuard, CppExceptionPassesThroughAndTheChainIsRestored) {
    void* before = ChainHead();
    std::string message;
    try {
        RunGuarded([] { throw std::runtime_error("through the guard"); });
        ADD_FAILURE() << "the exception did not leave the guarded call";
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "through the guard");
    EXPECT_EQ(ChainHead(), before);
    // The guard's record is gone from the chain: a later fault is caught by a new guard.
    EXPECT_FALSE(RunGuarded([] { WriteToAddressOne(); }));
    EXPECT_EQ(ChainHead(), before);
}

TEST(SehGuard, CppExceptionThroughNestedGuardsReachesTheCaller) {
    void* before = ChainHead();
    int* thrown = new int(42);
    int* caught = nullptr;
    try {
        RunGuarded([thrown] { RunGuarded([thrown] { throw thrown; }); });
    } catch (int* p) {
        caught = p;
    }
    EXPECT_EQ(caught, thrown);
    delete caught;
    EXPECT_EQ(ChainHead(), before);
    EXPECT_FALSE(RunGuarded([] { StrlenOnBadPointer(); }));
}

TEST(SehGuard, CppExceptionCaughtInsideTheGuardedCallIsNoFault) {
    int value = 0;
    EXPECT_TRUE(RunGuarded([&] {
        try {
            throw 5;
        } catch (int v) {
            value = v;
        }
    }));
    EXPECT_EQ(value, 5);
}

TEST(SehGuard, FaultInsideGuardAfterACppExceptionWasCaughtThere) {
    void* before = ChainHead();
    bool result = RunGuarded([] {
        try {
            throw std::logic_error("inside");
        } catch (const std::logic_error&) {
        }
        WriteToAddressOne();
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(ChainHead(), before);
}

// A catch-all block inside the guarded call is for C++ exceptions only: a fault passes it by and
// reaches the guard, on both processors' exception models.
TEST(SehGuard, FaultInsideACatchAllBlockReachesTheGuard) {
    bool caughtAsCpp = false;
    bool result = RunGuarded([&] {
        try {
            WriteToAddressOne();
        } catch (...) {
            caughtAsCpp = true;
        }
    });
    EXPECT_FALSE(result);
    EXPECT_FALSE(caughtAsCpp);
}

}  // namespace
}  // namespace linkmoor
