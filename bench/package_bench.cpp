// Measures the package reader's full load against the floor of the same work.
//
//   package_bench make OUT          writes a package shaped like the shipped one (Linux only)
//   package_bench run PACKAGE [N]   N repetitions (default 7) of each measurement, medians
//
// The reader's load is LoadBytes on the file's bytes: scan, body digest, inflate and digest of
// every entry, index. The floor does only the unavoidable part: one inflate of each stream
// straight into a block of its final size, MD5 of the body and of every entry's contents.

#include "bench/peak_memory.h"
#include "bench/shaped_package.h"

#include "package/md5.h"
#include "package/package_format.h"
#include "package/packed_tools.h"
#include "tools/file_io.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace linkmoor::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTimeRatioTarget = 1.15;
constexpr uint64_t kMemorySlack = 4u << 20;  // 4 MiB over file, contents and largest entry

struct Record {
    const uint8_t* stream;
    uint32_t compressed;
    const uint8_t* digest;
    uint32_t size;  // inflated size, learned before the floor is timed
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool InflateInto(const Record& record, uint8_t* out) {
    z_stream z{};
    z.next_in = const_cast<Bytef*>(record.stream);
    z.avail_in = record.compressed;
    z.next_out = out;
    z.avail_out = record.size;
    if (inflateInit(&z) != Z_OK) return false;
    int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return result == Z_STREAM_END && z.avail_out == 0;
}

uint32_t InflatedSize(const Record& record) {
    std::vector<uint8_t> buffer(1u << 20);
    z_stream z{};
    z.next_in = const_cast<Bytef*>(record.stream);
    z.avail_in = record.compressed;
    if (inflateInit(&z) != Z_OK) return 0;
    int result;
    do {
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&z, Z_NO_FLUSH);
    } while (result == Z_OK);
    uint32_t size = static_cast<uint32_t>(z.total_out);
    inflateEnd(&z);
    return result == Z_STREAM_END ? size : 0;
}

// One run of the floor; false when a digest or stream does not check out.
bool Floor(const uint8_t* header, const std::vector<Record>& records, std::vector<std::unique_ptr<uint8_t[]>>& blocks) {
    uint32_t bodyLength = package::ReadLe32(header + package::kBodyLengthOffset);
    Md5Digest body = CMd5::Of(header + package::kHeaderSize, bodyLength);
    if (std::memcmp(body.data(), header + package::kBodyDigestOffset, package::kDigestSize) != 0) return false;
    for (const Record& record : records) {
        std::unique_ptr<uint8_t[]> block(new uint8_t[record.size]);
        if (!InflateInto(record, block.get())) return false;
        Md5Digest digest = CMd5::Of(block.get(), record.size);
        if (std::memcmp(digest.data(), record.digest, package::kDigestSize) != 0) return false;
        blocks.push_back(std::move(block));
    }
    return true;
}

int Run(const std::string& path, int repetitions) {
    std::vector<uint8_t> file;
    std::string error = tools::ReadWholeFile(path, file);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    size_t at = package::FindHeader(file.data(), file.size());
    if (at == package::kNotFound) {
        std::fprintf(stderr, "%s: no package\n", path.c_str());
        return 1;
    }
    const uint8_t* header = file.data() + at;

    // The reader first, so the peak it reaches is not the floor's. The peak is also taken before
    // the first load (the process with the file read) and after it, before repetitions can add
    // heap fragmentation.
    std::vector<PeakFigure> beforeLoad = PeakMemory();
    std::vector<PeakFigure> afterFirstLoad;
    CPackedTools reader;
    std::vector<double> readerTimes;
    uint64_t contents = 0, largest = 0;
    size_t entries = 0;
    for (int i = 0; i <= repetitions; ++i) {  // run 0 warms up and is not counted
        Clock::time_point start = Clock::now();
        int loaded = reader.LoadBytes(file.data(), static_cast<uint32_t>(file.size()), 0);
        Clock::duration took = Clock::now() - start;
        if (!loaded) {
            std::fprintf(stderr, "%s: the reader's status is %d\n", path.c_str(), int(reader.m_status));
            return 1;
        }
        if (i > 0) readerTimes.push_back(Milliseconds(took));
        entries = reader.m_files.size();
        contents = largest = 0;
        for (const auto& item : reader.m_files) {
            contents += item.second.size;
            largest = std::max<uint64_t>(largest, item.second.size);
        }
        if (i == 0) afterFirstLoad = PeakMemory();
        reader.Clear();
    }
    std::vector<PeakFigure> peaks = PeakMemory();

    std::vector<Record> records;
    const uint8_t* record = header + package::kHeaderSize;
    for (uint32_t i = 0; i < package::ReadLe32(header + package::kEntryCountOffset); ++i) {
        uint32_t compressed = package::ReadLe32(record + package::kEntryCompressedLengthOffset);
        uint32_t nameLength = package::ReadLe32(record + package::kEntryNameLengthOffset);
        Record r{record + package::kEntryRecordSize + nameLength, compressed, record + package::kEntryDigestOffset, 0};
        r.size = InflatedSize(r);
        records.push_back(r);
        record += package::kEntryRecordSize + nameLength + compressed;
    }
    std::vector<double> floorTimes;
    for (int i = 0; i <= repetitions; ++i) {
        std::vector<std::unique_ptr<uint8_t[]>> blocks;
        Clock::time_point start = Clock::now();
        bool ok = Floor(header, records, blocks);
        Clock::duration took = Clock::now() - start;
        if (!ok) {
            std::fprintf(stderr, "%s: the floor found a bad digest or stream\n", path.c_str());
            return 1;
        }
        if (i > 0) floorTimes.push_back(Milliseconds(took));
    }

    double readerMedian = Median(readerTimes), floorMedian = Median(floorTimes);
    double ratio = readerMedian / floorMedian;
    uint64_t memoryTarget = file.size() + contents + largest + kMemorySlack;
    std::printf("package: %s: file %zu bytes, %zu entries, contents %" PRIu64 " bytes, largest %" PRIu64 " bytes\n",
                path.c_str(), file.size(), entries, contents, largest);
    std::printf("repetitions: %d of each (after one warm-up run), medians\n", repetitions);
    std::printf("reader load (LoadBytes):   median %8.2f ms  (min %.2f, max %.2f)\n", readerMedian,
                *std::min_element(readerTimes.begin(), readerTimes.end()),
                *std::max_element(readerTimes.begin(), readerTimes.end()));
    std::printf("floor (inflate + MD5):     median %8.2f ms  (min %.2f, max %.2f)\n", floorMedian,
                *std::min_element(floorTimes.begin(), floorTimes.end()),
                *std::max_element(floorTimes.begin(), floorTimes.end()));
    std::printf("ratio reader/floor: %.3f (target <= %.2f): %s\n", ratio, kTimeRatioTarget,
                ratio <= kTimeRatioTarget ? "met" : "NOT met");
    std::printf("peak memory target: %" PRIu64 " bytes = file + contents + largest + 4 MiB\n", memoryTarget);
    auto print = [&](const char* when, const std::vector<PeakFigure>& figures, bool judged) {
        for (const PeakFigure& peak : figures)
            std::printf("peak memory %s, %s: %" PRIu64 " bytes%s\n", when, peak.what.c_str(), peak.bytes,
                        !judged ? "" : peak.bytes <= memoryTarget ? ": met" : ": NOT met");
    };
    print("before the first load (file read, no reader yet)", beforeLoad, false);
    print("after the first load", afterFirstLoad, true);
    print("after all reader runs", peaks, true);
    return 0;
}

}  // namespace
}  // namespace linkmoor::bench

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0) {
        int repetitions = argc >= 4 ? std::atoi(argv[3]) : 7;
        return linkmoor::bench::Run(argv[2], std::max(1, repetitions));
    }
#ifndef _WIN32
    if (argc == 3 && std::strcmp(argv[1], "make") == 0) {
        std::string error = linkmoor::bench::MakeShapedPackage(argv[2]);
        if (!error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("%s: shaped package written\n", argv[2]);
        return 0;
    }
#endif
    std::fprintf(stderr, "usage: package_bench make OUT | package_bench run PACKAGE [REPETITIONS]\n");
    return 64;
}
