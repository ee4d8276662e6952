// Measures the package reader's full load against the floor of the same work, and the reader's
// peak memory.
//
//   package_bench make OUT [NAME=FILE]...
//                                      writes a package shaped like the shipped one (Linux only);
//                                      each NAME=FILE makes entry NAME hold FILE's contents
//   package_bench run PACKAGE [N]      N interleaved rounds (default 9) after one warm-up round
//   package_bench memory PACKAGE WAY   one load by WAY (reader, string or floor) in this fresh
//                                      process, file read included, with its peak memory
//
// The ways of loading, each doing the whole work on the file's bytes (scan, body digest, inflate
// and digest of every entry into a block of exactly its size):
//   reader  CPackedTools as built.
//   string  the earlier reader: each entry grows in a std::string by appends of the 2 MiB output
//           buffer and is then copied into its exact block.
//   floor   only the unavoidable part: one inflate of each stream straight into a block of its
//           final size (the sizes are learned before timing), MD5 of the body and every entry.
// A round runs reader, string and floor one after the other; the ratios are medians of the
// per-round ratios, so a slower or faster moment of a shared machine affects both sides alike.

#include "bench/peak_memory.h"
#include "bench/shaped_package.h"

#include "package/package_format.h"
#include "package/packed_tools.h"
#include "tools/files/file_io.h"

#include <zlib.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace linkmoor::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTimeRatioTarget = 1.15;
constexpr uint64_t kMemorySlack = 4u << 20;  // 4 MiB over file, contents and largest entry

struct Record {
    const uint8_t* name;
    uint32_t nameLength;
    const uint8_t* stream;
    uint32_t compressed;
    const uint8_t* digest;
    uint32_t size;  // inflated size, learned before the floor is timed
};

using Blocks = std::vector<std::unique_ptr<uint8_t[]>>;

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

// The package's header in `file`, or null.
const uint8_t* Header(const std::vector<uint8_t>& file) {
    size_t at = package::FindHeader(file.data(), file.size());
    return at == package::kNotFound ? nullptr : file.data() + at;
}

std::vector<Record> Records(const uint8_t* header, bool learnSizes) {
    std::vector<Record> records;
    const uint8_t* record = header + package::kHeaderSize;
    for (uint32_t i = 0; i < package::ReadLe32(header + package::kEntryCountOffset); ++i) {
        uint32_t compressed = package::ReadLe32(record + package::kEntryCompressedLengthOffset);
        uint32_t nameLength = package::ReadLe32(record + package::kEntryNameLengthOffset);
        Record r{record + package::kEntryRecordSize, nameLength, record + package::kEntryRecordSize + nameLength,
                 compressed, record + package::kEntryDigestOffset, 0};
        if (learnSizes) r.size = InflatedSize(r);
        records.push_back(r);
        record += package::kEntryRecordSize + nameLength + compressed;
    }
    return records;
}

bool BodyMatches(const uint8_t* header) {
    uint32_t bodyLength = package::ReadLe32(header + package::kBodyLengthOffset);
    return package::DigestMatches(header + package::kHeaderSize, bodyLength, header + package::kBodyDigestOffset);
}

// The floor; false when a digest or stream does not check out.
bool Floor(const std::vector<uint8_t>& file, const std::vector<Record>& records, Blocks& blocks) {
    const uint8_t* header = Header(file);
    if (!header || !BodyMatches(header)) return false;
    for (const Record& record : records) {
        std::unique_ptr<uint8_t[]> block(new uint8_t[record.size]);
        if (!InflateInto(record, block.get())) return false;
        if (!package::DigestMatches(block.get(), record.size, record.digest)) return false;
        blocks.push_back(std::move(block));
    }
    return true;
}

// The earlier reader's way: a growing std::string per entry, then a copy into its exact block.
bool GrowingString(const std::vector<uint8_t>& file, uint8_t* outBuffer, Blocks& blocks) {
    const uint32_t bufferSize = CPackedTools::kOutBufferSize;
    const uint8_t* header = Header(file);
    if (!header || !BodyMatches(header)) return false;
    for (const Record& record : Records(header, false)) {
        std::string out;
        z_stream z{};
        z.next_in = const_cast<Bytef*>(record.stream);
        z.avail_in = record.compressed;
        z.next_out = outBuffer;
        z.avail_out = bufferSize;
        if (inflateInit(&z) != Z_OK) return false;
        int flush = Z_NO_FLUSH;
        int status = inflate(&z, flush);
        while (status == Z_OK) {
            if (z.avail_in == 0) flush = Z_FINISH;
            if (z.avail_out == 0) {
                out.append(reinterpret_cast<const char*>(outBuffer), bufferSize);
                z.next_out = outBuffer;
                z.avail_out = bufferSize;
            }
            status = inflate(&z, flush);
        }
        inflateEnd(&z);
        if (status != Z_STREAM_END) return false;
        out.append(reinterpret_cast<const char*>(outBuffer), bufferSize - z.avail_out);
        std::unique_ptr<uint8_t[]> block(new uint8_t[out.size()]);
        std::memcpy(block.get(), out.data(), out.size());
        size_t size = out.size();
        std::string().swap(out);
        if (!package::DigestMatches(block.get(), size, record.digest)) return false;
        blocks.push_back(std::move(block));
    }
    return true;
}

// The reader's own way in: Load on an open file on Windows, LoadFile elsewhere.
int ReaderLoadFile(CPackedTools& reader, const std::string& path) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int loaded = reader.Load(file, 0);
    CloseHandle(file);
    return loaded;
#else
    return reader.LoadFile(path.c_str(), 0);
#endif
}

struct Shape {
    size_t entries = 0;
    uint64_t contents = 0, largest = 0;
};

Shape ShapeOf(const std::vector<Record>& records) {
    Shape shape;
    shape.entries = records.size();
    for (const Record& r : records) {
        shape.contents += r.size;
        shape.largest = std::max<uint64_t>(shape.largest, r.size);
    }
    return shape;
}

bool ReadPackage(const std::string& path, std::vector<uint8_t>& file) {
    std::string error = tools::ReadWholeFile(path, file);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    if (!Header(file)) {
        std::fprintf(stderr, "%s: no package\n", path.c_str());
        return false;
    }
    return true;
}

int Memory(const std::string& path, const std::string& way) {
    if (way != "reader" && way != "string" && way != "floor") {
        std::fprintf(stderr, "unknown way %s\n", way.c_str());
        return 64;
    }
    // Taken just before the file is read: what the process holds without the load.
    const std::vector<PeakFigure> before = CurrentMemory();
    const std::vector<PeakFigure> peakBefore = PeakMemory();
    bool ok = false;
    {
        if (way == "reader") {
            CPackedTools reader;  // the output buffer is part of the load
            ok = ReaderLoadFile(reader, path) == 1;
        } else {
            std::vector<uint8_t> file;
            if (ReadPackage(path, file)) {
                std::vector<uint8_t> outBuffer(CPackedTools::kOutBufferSize);
                Blocks blocks;
                ok = way == "string" ? GrowingString(file, outBuffer.data(), blocks)
                                     : Floor(file, Records(Header(file), true), blocks);
            }
        }
    }
    const std::vector<PeakFigure> after = PeakMemory();
    if (!ok) {
        std::fprintf(stderr, "%s: the %s load failed\n", path.c_str(), way.c_str());
        return 1;
    }
    std::vector<uint8_t> file;
    if (!ReadPackage(path, file)) return 1;
    Shape shape = ShapeOf(Records(Header(file), true));
    uint64_t target = file.size() + shape.contents + shape.largest + kMemorySlack;
    std::printf("%-6s load: target %" PRIu64 " bytes (file %zu + contents %" PRIu64 " + largest %" PRIu64
                " + 4 MiB), judged on the load's own peak\n",
                way.c_str(), target, file.size(), shape.contents, shape.largest);
    for (size_t i = 0; i < after.size() && i < before.size() && i < peakBefore.size(); ++i) {
        uint64_t own = after[i].bytes - before[i].bytes;
        std::printf("  %-18s whole process %10" PRIu64 " (%s before the load %" PRIu64 ", peak before %" PRIu64
                    "); load's own peak %10" PRIu64 " = %.1f MB: %s\n",
                    after[i].what.c_str(), after[i].bytes, before[i].what.c_str(), before[i].bytes,
                    peakBefore[i].bytes, own, own / 1e6, own <= target ? "met" : "NOT met");
    }
    return 0;
}

int Run(const std::string& path, int rounds) {
    std::vector<uint8_t> file;
    if (!ReadPackage(path, file)) return 1;
    const std::vector<Record> records = Records(Header(file), true);
    const Shape shape = ShapeOf(records);
    std::vector<uint8_t> outBuffer(CPackedTools::kOutBufferSize);

    CPackedTools reader;
    auto readerLoad = [&] {
        bool ok = reader.LoadBytes(file.data(), static_cast<uint32_t>(file.size()), 0) == 1 &&
                  reader.m_files.size() == records.size();
        reader.Clear();
        return ok;
    };
    auto stringLoad = [&] {
        Blocks blocks;
        return GrowingString(file, outBuffer.data(), blocks);
    };
    auto floorLoad = [&] {
        Blocks blocks;
        return Floor(file, records, blocks);
    };
    const char* names[] = {"reader", "string", "floor"};
    std::function<bool()> ways[] = {readerLoad, stringLoad, floorLoad};
    std::vector<double> times[3];
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms up and is not counted
        for (int w = 0; w < 3; ++w) {
            Clock::time_point start = Clock::now();
            bool ok = ways[w]();
            Clock::duration took = Clock::now() - start;
            if (!ok) {
                std::fprintf(stderr, "%s: the %s load failed\n", path.c_str(), names[w]);
                return 1;
            }
            if (round > 0) times[w].push_back(Milliseconds(took));
        }
    }
    std::printf("package: %s: file %zu bytes, %zu entries, contents %" PRIu64 " bytes, largest %" PRIu64 " bytes\n",
                path.c_str(), file.size(), shape.entries, shape.contents, shape.largest);
    std::printf("rounds: %d, each reader, string, floor in turn (after one warm-up round)\n", rounds);
    for (int w = 0; w < 3; ++w) {
        std::printf("%-6s load: median %8.2f ms  (min %.2f, max %.2f)\n", names[w], Median(times[w]),
                    *std::min_element(times[w].begin(), times[w].end()),
                    *std::max_element(times[w].begin(), times[w].end()));
    }
    auto pairedRatio = [&](int a, int b) {
        std::vector<double> ratios;
        for (size_t i = 0; i < times[a].size(); ++i) ratios.push_back(times[a][i] / times[b][i]);
        return Median(ratios);
    };
    double ratio = pairedRatio(0, 2);
    std::printf("ratio reader/floor: %.3f (median of rounds; target <= %.2f): %s\n", ratio, kTimeRatioTarget,
                ratio <= kTimeRatioTarget ? "met" : "NOT met");
    std::printf("ratio string/floor: %.3f, reader/string: %.3f (medians of rounds)\n", pairedRatio(1, 2),
                pairedRatio(0, 1));
    return 0;
}

}  // namespace
}  // namespace linkmoor::bench

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0) {
        int rounds = argc >= 4 ? std::atoi(argv[3]) : 9;
        return linkmoor::bench::Run(argv[2], std::max(1, rounds));
    }
    if (argc == 4 && std::strcmp(argv[1], "memory") == 0) {
        return linkmoor::bench::Memory(argv[2], argv[3]);
    }
#ifndef _WIN32
    if (argc >= 3 && std::strcmp(argv[1], "make") == 0) {
        std::map<std::string, std::string> replacements;
        for (int i = 3; i < argc; ++i) {
            const char* equals = std::strchr(argv[i], '=');
            if (!equals) {
                std::fprintf(stderr, "package_bench make: %s is not NAME=FILE\n", argv[i]);
                return 64;
            }
            replacements[std::string(argv[i], size_t(equals - argv[i]))] = equals + 1;
        }
        std::string error = linkmoor::bench::MakeShapedPackage(argv[2], replacements);
        if (!error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("%s: shaped package written\n", argv[2]);
        return 0;
    }
#endif
    std::fprintf(stderr,
                 "usage: package_bench make OUT [NAME=FILE]... | package_bench run PACKAGE [ROUNDS] | "
                 "package_bench memory PACKAGE reader|string|floor\n");
    return 64;
}
