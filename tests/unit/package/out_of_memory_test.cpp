// Allocation failures in the reader. This program's global operator new refuses allocations of
// chosen sizes on demand, standing in for a machine without the memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "package_test_support.h"
#include "refusable_allocation.h"

namespace {

size_t g_failFrom = 0;     // fail every allocation of at least this many bytes (0: off)
size_t g_failExactly = 0;  // fail every allocation of exactly this many bytes (0: off)
size_t g_failures = 0;     // how many allocations were refused

bool RefuseBySize(size_t size) {
    if ((g_failFrom != 0 && size >= g_failFrom) || (g_failExactly != 0 && size == g_failExactly)) {
        ++g_failures;
        return true;
    }
    return false;
}

// Refuses allocations while alive.
class CFailingAllocations {
public:
    CFailingAllocations(size_t from, size_t exactly) {
        g_failFrom = from;
        g_failExactly = exactly;
        g_failures = 0;
        linkmoor::test::SetAllocationFilter(RefuseBySize);
    }
    ~CFailingAllocations() {
        linkmoor::test::SetAllocationFilter(nullptr);
        g_failFrom = 0;
        g_failExactly = 0;
    }
};

}  // namespace

namespace linkmoor {
namespace {

using test::Bytes;

constexpr size_t kMiB = 0x100000;

Bytes PackageOf(const std::vector<package::PackageInput>& entries) {
    const package::WriteResult written = package::BuildPackage(entries, 0x11);
    EXPECT_TRUE(written.ok) << written.error;
    return written.bytes;
}

TEST(OutOfMemory, ConstructionWithoutTheOutputBuffer) {
    CFailingAllocations fail(2 * kMiB, 0);
    CPackedTools reader;
    EXPECT_GT(g_failures, 0u);
    EXPECT_EQ(reader.m_status, kPackageNoMemory);
    EXPECT_EQ(reader.m_outBufferSize, 0u);
    EXPECT_EQ(reader.m_outBuffer, nullptr);
    EXPECT_TRUE(reader.m_files.empty());
}

TEST(OutOfMemory, ReaderWithoutOutputBufferInflatesNothing) {
    const Bytes package = PackageOf({{"a", test::ToBytes("contents")}});
    CFailingAllocations* fail = new CFailingAllocations(2 * kMiB, 0);
    CPackedTools reader;
    delete fail;
    EXPECT_EQ(reader.LoadBytes(package.data(), uint32_t(package.size()), 0), 0);
    EXPECT_EQ(reader.m_status, kPackageDamaged);
}

struct GrowthCase {
    const char* what;
    size_t contentsSize;
    size_t failFrom;
    size_t failExactly;
};

TEST(OutOfMemory, EntryFailuresBecomeStatusMinus3) {
    const GrowthCase cases[] = {
        // The byte string cannot grow past 3 MiB while a 6 MiB entry is inflated.
        {"contents grow beyond what is left", 6 * kMiB, 3 * kMiB, 0},
        // The first append already needs more than there is.
        {"first append refused", 3 * kMiB, 2 * kMiB + 1, 0},
        // The byte string gets its memory, the entry's own block of exactly its size does not.
        {"entry block refused", 1234567, 0, 1234567},
    };
    for (const GrowthCase& c : cases) {
        const Bytes package = PackageOf({{"small", test::ToBytes("loaded first")},
                                         {"big", test::GeneratedContents(c.contentsSize, 5)}});
        CPackedTools reader;
        ASSERT_EQ(reader.m_status, kPackageOk);
        int result = -1;
        {
            CFailingAllocations fail(c.failFrom, c.failExactly);
            EXPECT_NO_THROW(result = reader.LoadBytes(package.data(), uint32_t(package.size()), 0))
                << c.what;
            EXPECT_GT(g_failures, 0u) << c.what;
        }
        EXPECT_EQ(result, 0) << c.what;
        EXPECT_EQ(reader.m_status, kPackageNoMemory) << c.what;
        EXPECT_TRUE(reader.m_files.empty()) << c.what;
        // Memory back: the same reader loads the same package.
        EXPECT_EQ(reader.LoadBytes(package.data(), uint32_t(package.size()), 0), 1) << c.what;
        EXPECT_EQ(reader.m_files.size(), 2u) << c.what;
    }
}

TEST(OutOfMemory, WholeFileBufferRefused) {
    const Bytes package = PackageOf({{"a", test::ToBytes("contents")}});
    char path[] = "/tmp/linkmoor-package-oom-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::FILE* out = fdopen(fd, "wb");
    std::fwrite(package.data(), 1, package.size(), out);
    std::fclose(out);
    CPackedTools reader;
    {
        CFailingAllocations fail(0, package.size());
        EXPECT_EQ(reader.LoadFile(path, 0), 0);
    }
    EXPECT_EQ(reader.m_status, kPackageNoMemory);
    EXPECT_EQ(reader.LoadFile(path, 0), 1);
    std::remove(path);
}

}  // namespace
}  // namespace linkmoor
