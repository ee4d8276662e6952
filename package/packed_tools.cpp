// The package reader's portable part: everything done on the file's bytes once they are in memory.
#include "package/packed_tools.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "package/certificate_table.h"
#include "package/package_format.h"
#include "package/tick_count.h"

namespace linkmoor {

using namespace package;

bool CPackedTools::ByteLess::operator()(const std::string& a, const std::string& b) const {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);  // unsigned bytes
    return order != 0 ? order < 0 : a.size() < b.size();
}

CPackedTools::CPackedTools() {
    m_status = kPackageOk;
    m_outBufferSize = kOutBufferSize;
    std::srand(TickCount());
    m_outBuffer.reset(new (std::nothrow) uint8_t[m_outBufferSize]);
    if (!m_outBuffer) {
        m_outBufferSize = 0;
        m_status = kPackageNoMemory;
    }
}

CPackedTools::~CPackedTools() {
    Clear();
    m_outBuffer.reset();
}

void CPackedTools::Clear() {
    for (auto& file : m_files) {
        file.second.data.reset();
    }
    m_files.clear();
}

int CPackedTools::GetFile(const char* name, const uint8_t** data, uint32_t* size) const {
    const std::string key(name);
    const auto found = m_files.lower_bound(key);
    if (found == m_files.end() || ByteLess()(key, found->first)) {
        return 0;
    }
    *data = found->second.data.get();
    *size = found->second.size;
    return 1;
}

void CPackedTools::Inflate(std::string& out, const uint8_t* stream, uint32_t length) {
    InflateStream(out, stream, length);
}

namespace {

// One stream's contents as they leave the output buffer: a copy of the whole buffer each time it
// filled before the stream ended, in order, then the `tail` bytes the last call left in it.
// Holding full buffers apart, instead of one growing string, keeps the contents from being copied
// again each time the string outgrows its capacity, and keeps the memory of an entry to its
// contents rounded up to the buffer size until the entry's exact block takes them.
struct CInflatedParts {
    std::vector<std::unique_ptr<uint8_t[]>> fullBuffers;
    uint32_t tail = 0;

    uint64_t Size(uint32_t bufferSize) const {
        return uint64_t(fullBuffers.size()) * bufferSize + tail;
    }

    // Copies the contents into `out` (Size bytes), releasing each full buffer once copied.
    void MoveTo(uint8_t* out, const uint8_t* buffer, uint32_t bufferSize) {
        for (auto& full : fullBuffers) {
            std::memcpy(out, full.get(), bufferSize);
            out += bufferSize;
            full.reset();
        }
        fullBuffers.clear();
        std::memcpy(out, buffer, tail);
    }
};

enum class Inflated { kDone, kFailed, kNoMemory };

Inflated InflateParts(uint8_t* buffer, uint32_t bufferSize, const uint8_t* stream, uint32_t length,
                      CInflatedParts& parts) {
    z_stream z{};
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = length;
    z.next_out = buffer;
    z.avail_out = bufferSize;
    // zlib answers Z_MEM_ERROR when its state or window cannot be allocated: memory ran out, the
    // package is not damaged.
    const int init = inflateInit(&z);
    if (init != Z_OK) {
        return init == Z_MEM_ERROR ? Inflated::kNoMemory : Inflated::kFailed;
    }
    Inflated result = Inflated::kDone;
    try {
        int flush = Z_NO_FLUSH;
        int status = inflate(&z, flush);
        while (status != Z_STREAM_END) {
            if (status != Z_OK) {
                result = status == Z_MEM_ERROR ? Inflated::kNoMemory : Inflated::kFailed;
                break;
            }
            // Once all input is in, a stream that still has not ended must end on the next call.
            if (z.avail_in == 0) {
                flush = Z_FINISH;
            }
            if (z.avail_out == 0) {
                // Appends the whole buffer: no zero fill, one copy.
                std::unique_ptr<uint8_t[]> full(new (std::nothrow) uint8_t[bufferSize]);
                if (!full) {
                    result = Inflated::kNoMemory;
                    break;
                }
                std::memcpy(full.get(), buffer, bufferSize);
                parts.fullBuffers.push_back(std::move(full));
                z.next_out = buffer;
                z.avail_out = bufferSize;
            }
            status = inflate(&z, flush);
        }
    } catch (const std::bad_alloc&) {
        result = Inflated::kNoMemory;
    }
    if (result == Inflated::kDone) {
        parts.tail = bufferSize - z.avail_out;
    } else {
        parts = CInflatedParts();  // give the memory back at once
    }
    inflateEnd(&z);
    return result;
}

}  // namespace

CPackedTools::InflateResult CPackedTools::InflateStream(std::string& out, const uint8_t* stream,
                                                        uint32_t length) {
    out.clear();
    CInflatedParts parts;
    const Inflated inflated = InflateParts(m_outBuffer.get(), m_outBufferSize, stream, length, parts);
    if (inflated == Inflated::kFailed) {
        return InflateResult::kFailed;
    }
    try {
        if (inflated == Inflated::kDone) {
            const uint64_t size = parts.Size(m_outBufferSize);
            if (size > out.max_size()) {
                throw std::bad_alloc();
            }
            out.reserve(size_t(size));  // the exact size: no overshoot
            for (const auto& full : parts.fullBuffers) {
                out.append(reinterpret_cast<const char*>(full.get()), m_outBufferSize);
            }
            out.append(reinterpret_cast<const char*>(m_outBuffer.get()), parts.tail);
            return InflateResult::kDone;
        }
    } catch (const std::bad_alloc&) {
    }
    std::string().swap(out);  // give the memory back at once, not only the length
    return InflateResult::kNoMemory;
}

int CPackedTools::LoadBytes(const uint8_t* file, uint32_t size, int verifyOnly) {
    m_status = kPackageOk;
    if (size == 0) {
        m_status = kPackageDamaged;
        return EndLoad(verifyOnly);
    }
    const size_t headerAt = FindHeader(file, size);
    if (headerAt == kNotFound) {
        m_status = kPackageDamaged;
        return EndLoad(verifyOnly);
    }
    // A signed file whose package is not covered by its signature: Windows still shows the file
    // as validly signed, but anyone could have put or changed that package.
    if (!SignatureCoversPackage(file, size, headerAt)) {
        m_status = kPackageDamaged;
        return EndLoad(verifyOnly);
    }
    m_status = LoadPackage(file + headerAt, size - headerAt);
    return EndLoad(verifyOnly);
}

int32_t CPackedTools::LoadPackage(const uint8_t* header, size_t available) {
    // Every size is checked against what is left before it is used.
    if (ExtentOf(header, available) != PackageExtent::kFits) {
        return kPackageDamaged;
    }
    const uint32_t bodyLength = ReadLe32(header + kBodyLengthOffset);
    const uint32_t entryCount = ReadLe32(header + kEntryCountOffset);
    const uint8_t* body = header + kHeaderSize;
    if (!DigestMatches(body, bodyLength, header + kBodyDigestOffset)) {
        return kPackageDamaged;
    }
    try {
        size_t offset = 0;
        for (uint32_t i = 0; i < entryCount; ++i) {
            EntryRecord record;
            if (!ReadEntryRecord(body, bodyLength, offset, record)) {
                return kPackageDamaged;
            }
            CInflatedParts parts;
            const Inflated inflated = InflateParts(m_outBuffer.get(), m_outBufferSize,
                                                   record.stream, record.compressedLength, parts);
            if (inflated == Inflated::kNoMemory) {
                return kPackageNoMemory;
            }
            const uint64_t size = parts.Size(m_outBufferSize);
            if (inflated == Inflated::kFailed || size == 0 ||
                size > std::numeric_limits<uint32_t>::max()) {
                return kPackageDamaged;
            }
            // The entry's block of exactly its size takes the contents straight from the parts.
            Entry entry;
            entry.size = uint32_t(size);
            entry.data.reset(new (std::nothrow) uint8_t[entry.size]);
            if (!entry.data) {
                return kPackageNoMemory;
            }
            parts.MoveTo(entry.data.get(), m_outBuffer.get(), m_outBufferSize);
            if (!DigestMatches(entry.data.get(), entry.size, record.digest)) {
                return kPackageDamaged;  // the block goes with `entry`
            }
            // A name seen before takes the later contents; its earlier block is released here.
            m_files[std::string(reinterpret_cast<const char*>(record.name), record.nameLength)] =
                std::move(entry);
            offset = record.next;
        }
    } catch (const std::bad_alloc&) {
        return kPackageNoMemory;
    }
    return kPackageOk;
}

int CPackedTools::EndLoad(int verifyOnly) {
    if (m_status != kPackageOk || verifyOnly == 1) {
        Clear();
    }
    return m_status == kPackageOk ? 1 : 0;
}

}  // namespace linkmoor
