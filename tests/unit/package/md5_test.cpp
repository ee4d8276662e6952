// MD5 against RFC 1321's own suite and SHA-256 against FIPS 180's examples, both also against
// digests computed elsewhere, one-shot and fed in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "package/md5.h"
#include "package/sha256.h"

namespace linkmoor {
namespace {

template <size_t N>
std::string Hex(const std::array<uint8_t, N>& digest) {
    std::string out;
    char two[3];
    for (uint8_t b : digest) {
        std::snprintf(two, sizeof(two), "%02x", b);
        out += two;
    }
    return out;
}

// Bytes (i * 7 + 3) mod 256: never a repeating block, so a piece put at the wrong offset shows.
std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) {
        out[i] = uint8_t(i * 7 + 3);
    }
    return out;
}

struct TextCase {
    const char* text;
    const char* digest;
};

TEST(Md5, Rfc1321Suite) {
    const TextCase cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const TextCase& c : cases) {
        const std::string text = c.text;
        EXPECT_EQ(Hex(CMd5::Of(text.data(), text.size())), c.digest) << '"' << text << '"';
    }
}

struct LengthCase {
    size_t length;
    const char* digest;
};

// Lengths on both sides of the points where the padding needs a second block (56) and where
// whole blocks end (64, 128).
const LengthCase kLengths[] = {
    {55, "52c0e574e1198de5fe3f8f11440dcb1b"},   {56, "46c9907fc908ee68b1e7b8e71286a518"},
    {57, "1c805dd236c35cab25fcb1bc73802c51"},   {63, "a62f6d59e837867693f042f5b8f5a236"},
    {64, "7160b8fb5e9e4023d549c3971fbaeead"},   {65, "70bd662e7aefbda85a0f7244167b7897"},
    {119, "e84905d4214f4d1ca56c2cdcc152b143"},  {120, "e3eb5a6c8669ea01a8c185b8abc8a5dc"},
    {121, "82f02aff7c685d5ef5f6abdfc38fd04f"},  {127, "acce2474d6cc8302120d09c818d17ef7"},
    {128, "10b2da1a82f16d99a81a7203fe9f02cb"},  {129, "03fefbbcebe2959cf2270241aafe0250"},
    {1000, "10046f077f2082ac19676b8079f1cb1a"},
};

TEST(Md5, KnownDigestsAroundBlockEdges) {
    for (const LengthCase& c : kLengths) {
        const std::vector<uint8_t> data = Pattern(c.length);
        EXPECT_EQ(Hex(CMd5::Of(data.data(), data.size())), c.digest) << c.length << " bytes";
    }
}

TEST(Md5, PiecesOfEverySizeGiveTheOneShotDigest) {
    for (const LengthCase& c : kLengths) {
        const std::vector<uint8_t> data = Pattern(c.length);
        for (size_t piece = 1; piece <= 130; ++piece) {
            CMd5 md5;
            for (size_t at = 0; at < data.size(); at += piece) {
                md5.Add(data.data() + at, std::min(piece, data.size() - at));
            }
            ASSERT_EQ(Hex(md5.Finish()), c.digest) << c.length << " bytes in pieces of " << piece;
        }
    }
}

TEST(Md5, UnevenPiecesAndEmptyAdds) {
    // Pieces of growing size, with empty adds between them, straddle every block offset.
    const std::vector<uint8_t> data = Pattern(1000000);
    CMd5 md5;
    size_t at = 0;
    for (size_t piece = 1; at < data.size(); piece = piece % 200 + 1) {
        const size_t take = std::min(piece, data.size() - at);
        md5.Add(data.data() + at, take);
        md5.Add(data.data() + at, 0);
        at += take;
    }
    EXPECT_EQ(Hex(md5.Finish()), "4e8560dbecc9d8178fccd03632c646cb");
}

TEST(Md5, FinishStartsAgainAndStartDiscards) {
    CMd5 md5;
    md5.Add("abc", 3);
    EXPECT_EQ(Hex(md5.Finish()), "900150983cd24fb0d6963f7d28e17f72");
    md5.Add("a", 1);
    EXPECT_EQ(Hex(md5.Finish()), "0cc175b9c0f1b6a831c399e269772661");
    md5.Add("something discarded", 19);
    md5.Start();
    md5.Add("message digest", 14);
    EXPECT_EQ(Hex(md5.Finish()), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(Sha256, Fips180ExamplesAndBlockEdges) {
    const TextCase texts[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const TextCase& c : texts) {
        const std::string text = c.text;
        EXPECT_EQ(Hex(CSha256::Of(text.data(), text.size())), c.digest) << '"' << text << '"';
    }
    // Around the points where the padding needs a second block, one-shot and in pieces.
    const LengthCase lengths[] = {
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {57, "35df609437dcfea3279283ab79fd554e2bf78f8f7ae2de532d8ee300b09e8f73"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
        {1000, "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    };
    for (const LengthCase& c : lengths) {
        const std::vector<uint8_t> data = Pattern(c.length);
        EXPECT_EQ(Hex(CSha256::Of(data.data(), data.size())), c.digest) << c.length << " bytes";
        for (size_t piece : {1, 7, 63, 65}) {
            CSha256 sha;
            for (size_t at = 0; at < data.size(); at += piece) sha.Add(data.data() + at, std::min(piece, data.size() - at));
            EXPECT_EQ(Hex(sha.Finish()), c.digest) << c.length << " bytes in pieces of " << piece;
        }
    }
    const std::string million(1000000, 'a');
    EXPECT_EQ(Hex(CSha256::Of(million.data(), million.size())),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace linkmoor
