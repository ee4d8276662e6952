// The package reader's portable part: everything done on the file's bytes once they are in memory.
#include "package/packed_tools.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "package/md5.h"
#include "package/package_format.h"
#include "package/tick_count.h"

namespace linkmoor {

using namespace package;

namespace {

bool DigestMatches(const uint8_t* data, size_t size, const uint8_t* expected) {
    const Md5Digest digest = CMd5::Of(data, size);
    return std::memcmp(digest.data(), expected, kDigestSize) == 0;
}

}  // namespace

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

CPackedTools::InflateResult CPackedTools::InflateStream(std::string& out, const uint8_t* stream,
                                                        uint32_t length) {
    z_stream z{};
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = length;
    z.next_out = m_outBuffer.get();
    z.avail_out = m_outBufferSize;
    if (inflateInit(&z) != Z_OK) {
        out.clear();
        return InflateResult::kFailed;
    }
    InflateResult result = InflateResult::kDone;
    try {
        int flush = Z_NO_FLUSH;
        int status = inflate(&z, flush);
        while (status != Z_STREAM_END) {
            if (status != Z_OK) {
                result = InflateResult::kFailed;
                break;
            }
            // Once all input is in, a stream that still has not ended must end on the next call.
            if (z.avail_in == 0) {
                flush = Z_FINISH;
            }
            if (z.avail_out == 0) {
                out.append(reinterpret_cast<const char*>(m_outBuffer.get()), m_outBufferSize);
                z.next_out = m_outBuffer.get();
                z.avail_out = m_outBufferSize;
            }
            status = inflate(&z, flush);
        }
        if (result == InflateResult::kDone) {
            out.append(reinterpret_cast<const char*>(m_outBuffer.get()),
                       m_outBufferSize - z.avail_out);
        }
    } catch (const std::bad_alloc&) {
        result = InflateResult::kNoMemory;
    }
    if (result != InflateResult::kDone) {
        std::string().swap(out);  // give the memory back at once, not only the length
    }
    inflateEnd(&z);
    return result;
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
    m_status = LoadPackage(file + headerAt, size - headerAt);
    return EndLoad(verifyOnly);
}

int32_t CPackedTools::LoadPackage(const uint8_t* header, size_t available) {
    // Every size is checked against what is left before it is used; the subtractions never go
    // below zero, so sizes near 4 GiB cannot wrap an offset back into the buffer.
    if (available < kHeaderSize) {
        return kPackageDamaged;
    }
    const uint32_t bodyLength = ReadLe32(header + kBodyLengthOffset);
    const uint32_t entryCount = ReadLe32(header + kEntryCountOffset);
    if (bodyLength > available - kHeaderSize) {
        return kPackageDamaged;
    }
    const uint8_t* body = header + kHeaderSize;
    if (!DigestMatches(body, bodyLength, header + kBodyDigestOffset)) {
        return kPackageDamaged;
    }
    try {
        size_t offset = 0;
        for (uint32_t i = 0; i < entryCount; ++i) {
            if (bodyLength - offset < kEntryRecordSize) {
                return kPackageDamaged;
            }
            const uint8_t* record = body + offset;
            const uint32_t compressedLength = ReadLe32(record + kEntryCompressedLengthOffset);
            const uint32_t nameLength = ReadLe32(record + kEntryNameLengthOffset);
            size_t left = bodyLength - offset - kEntryRecordSize;
            if (nameLength > left) {
                return kPackageDamaged;
            }
            left -= nameLength;
            if (compressedLength > left) {
                return kPackageDamaged;
            }
            const uint8_t* name = record + kEntryRecordSize;
            std::string contents;
            const InflateResult inflated =
                InflateStream(contents, name + nameLength, compressedLength);
            if (inflated == InflateResult::kNoMemory) {
                return kPackageNoMemory;
            }
            if (contents.empty() || contents.size() > std::numeric_limits<uint32_t>::max()) {
                return kPackageDamaged;
            }
            Entry entry;
            entry.size = uint32_t(contents.size());
            entry.data.reset(new (std::nothrow) uint8_t[entry.size]);
            if (!entry.data) {
                return kPackageNoMemory;
            }
            std::memcpy(entry.data.get(), contents.data(), entry.size);
            std::string().swap(contents);
            if (!DigestMatches(entry.data.get(), entry.size, record + kEntryDigestOffset)) {
                return kPackageDamaged;  // the block goes with `entry`
            }
            // A name seen before takes the later contents; its earlier block is released here.
            m_files[std::string(reinterpret_cast<const char*>(name), nameLength)] =
                std::move(entry);
            offset += kEntryRecordSize + nameLength + compressedLength;
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
