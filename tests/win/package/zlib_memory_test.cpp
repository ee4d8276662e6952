// zlib running out of memory while the reader inflates an entry. zlib takes its memory from
// malloc, which this program wraps at link time (-Wl,--wrap=malloc): an armed size is refused,
// standing in for a machine without the memory. The reader must say "out of memory" (-3), not
// "damaged" (-2).
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "package_test_support.h"

namespace {

size_t g_refusedSize = 0;   // 0: refuse nothing
size_t g_firstSize = 0;     // with g_recording: the size of the first allocation seen
bool g_recording = false;

}  // namespace

extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
    if (g_recording && g_firstSize == 0) g_firstSize = size;
    if (g_refusedSize != 0 && size == g_refusedSize) return nullptr;
    return __real_malloc(size);
}

namespace linkmoor {
namespace {

// What inflateInit asks for: zlib's inflate state.
size_t InflateStateSize() {
    z_stream z{};
    g_firstSize = 0;
    g_recording = true;
    const int result = inflateInit(&z);
    g_recording = false;
    if (result == Z_OK) inflateEnd(&z);
    return g_firstSize;
}

TEST(ZlibOutOfMemory, IsReportedAsNoMemoryNotAsADamagedPackage) {
    // Larger than the reader's output buffer: zlib keeps a window only for a stream that needs
    // more than one call.
    const package::WriteResult package =
        package::BuildPackage({{"entry", test::GeneratedContents(2500000, 3)}}, 0x21);
    ASSERT_TRUE(package.ok) << package.error;
    const size_t stateSize = InflateStateSize();
    ASSERT_GT(stateSize, 0u);

    const struct {
        const char* what;
        size_t refused;
    } cases[] = {
        {"the inflate state (inflateInit)", stateSize},
        {"the 32 KiB window (inflate)", size_t(1) << 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CPackedTools reader;
        ASSERT_EQ(reader.m_status, kPackageOk);
        g_refusedSize = c.refused;
        const int loaded = reader.LoadBytes(package.bytes.data(), uint32_t(package.bytes.size()), 0);
        g_refusedSize = 0;
        EXPECT_EQ(loaded, 0);
        EXPECT_EQ(reader.m_status, kPackageNoMemory);
        EXPECT_TRUE(reader.m_files.empty());
        // Served again, the same package loads.
        EXPECT_EQ(reader.LoadBytes(package.bytes.data(), uint32_t(package.bytes.size()), 0), 1);
    }
}

}  // namespace
}  // namespace linkmoor
