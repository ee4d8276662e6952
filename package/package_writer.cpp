// Builds packages the reader accepts.
#include "package/package_writer.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <set>
#include <stdexcept>

#include "package/md5.h"
#include "package/package_format.h"

namespace linkmoor::package {

namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
constexpr int kWindowBits = 15;  // 32 KiB window with the zlib wrapper
constexpr int kMemoryLevel = 8;  // zlib's default

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    WriteLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

WriteResult Refuse(std::string sentence) {
    WriteResult result;
    result.error = std::move(sentence);
    return result;
}

}  // namespace

std::vector<uint8_t> CompressStream(const uint8_t* data, size_t size) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, kWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("The compressor could not be started.");
    }
    std::vector<uint8_t> out;
    uint8_t chunk[65536];
    // Fed in slices so that sizes beyond zlib's 32-bit counters still go through.
    size_t offset = 0;
    int status = Z_OK;
    do {
        const size_t slice = size - offset < (1u << 30) ? size - offset : (1u << 30);
        z.next_in = const_cast<Bytef*>(data + offset);
        z.avail_in = uInt(slice);
        offset += slice;
        const int flush = offset == size ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = chunk;
            z.avail_out = sizeof(chunk);
            status = deflate(&z, flush);
            out.insert(out.end(), chunk, chunk + (sizeof(chunk) - z.avail_out));
        } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    } while (offset < size);
    deflateEnd(&z);
    return out;
}

WriteResult BuildPackage(const std::vector<PackageInput>& entries, uint8_t keyByte) {
    if (entries.size() > kMax32) {
        return Refuse("The package cannot hold more than 4294967295 files.");
    }
    std::set<std::string> names;
    for (const PackageInput& entry : entries) {
        if (entry.contents.empty()) {
            return Refuse("The file \"" + entry.name +
                          "\" is empty; a package cannot carry an empty file.");
        }
        if (entry.name.size() > kMax32) {
            return Refuse("A file name is longer than a package allows (4294967295 bytes).");
        }
        if (!names.insert(entry.name).second) {
            return Refuse("The name \"" + entry.name + "\" is given twice; names in a package "
                          "must be unique.");
        }
    }

    std::vector<uint8_t> body;
    for (const PackageInput& entry : entries) {
        const std::vector<uint8_t> stream = CompressStream(entry.contents.data(),
                                                           entry.contents.size());
        const uint64_t recordSize = kEntryRecordSize + uint64_t(entry.name.size()) + stream.size();
        if (stream.size() > kMax32 || body.size() + recordSize > kMax32) {
            return Refuse("The files are too large for one package: its body must stay below "
                          "4 GiB.");
        }
        const Md5Digest digest = CMd5::Of(entry.contents.data(), entry.contents.size());
        AppendLe32(body, uint32_t(stream.size()));
        AppendLe32(body, uint32_t(entry.name.size()));
        body.insert(body.end(), digest.begin(), digest.end());
        body.insert(body.end(), entry.name.begin(), entry.name.end());
        body.insert(body.end(), stream.begin(), stream.end());
    }

    uint8_t header[kHeaderSize];
    std::memcpy(header, kMagic, kMagicSize);
    header[kKeyByteOffset] = keyByte;
    for (size_t i = 0; i < kCheckedSize; ++i) {
        header[kCheckBlockOffset + i] = uint8_t(header[i] ^ keyByte);
    }
    WriteLe32(header + kBodyLengthOffset, uint32_t(body.size()));
    WriteLe32(header + kEntryCountOffset, uint32_t(entries.size()));
    const Md5Digest bodyDigest = CMd5::Of(body.data(), body.size());
    std::memcpy(header + kBodyDigestOffset, bodyDigest.data(), kDigestSize);

    WriteResult result;
    result.bytes.resize(kHeaderSize + body.size());
    std::memcpy(result.bytes.data(), header, kHeaderSize);
    if (!body.empty()) {
        std::memcpy(result.bytes.data() + kHeaderSize, body.data(), body.size());
    }
    result.ok = true;
    return result;
}

}  // namespace linkmoor::package
