// The commands of linkmoor-pack, run in-process on real files in a scratch folder.

#include "tools/cli/pack_commands.h"

#include "package/md5.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <unistd.h>

namespace linkmoor::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Contents that compress like program code rather than noise or zeros.
Bytes SampleContents(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t x = seed | 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = (x & 3) == 0 ? uint8_t(x >> 8) : uint8_t("MZ\x90\0push ebp; mov ebp, esp"[i % 24]);
    }
    return bytes;
}

struct Result {
    int code;
    std::string out;
    std::string err;
};

class PackTool : public ::testing::Test {
public:  // the case tables prepare files through these
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pack-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream file(Path(name), std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        ASSERT_TRUE(file.good()) << name;
    }

    Bytes Read(const std::string& name) const {
        std::ifstream file(Path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), {});
    }

    bool Exists(const std::string& name) const { return fs::exists(m_dir / name); }

    // Every name in the scratch folder, recursively: a leftover temporary file shows up here.
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& item : fs::recursive_directory_iterator(m_dir))
            names.insert(fs::relative(item.path(), m_dir).string());
        return names;
    }

    Result Run(std::vector<std::string> args) const {
        for (std::string& arg : args)
            if (arg.rfind("@", 0) == 0) arg = Path(arg.substr(1));  // "@name": a file in the folder
        std::ostringstream out, err;
        int code = RunPackTool(args, out, err);
        return {code, out.str(), err.str()};
    }

    fs::path m_dir;
};

// The records of a package file as the layout stores them: (name, stream) in body order.
std::vector<std::pair<std::string, Bytes>> Records(const Bytes& package, size_t header = 0) {
    std::vector<std::pair<std::string, Bytes>> records;
    uint32_t count = package::ReadLe32(&package[header + package::kEntryCountOffset]);
    size_t at = header + package::kHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t compressed = package::ReadLe32(&package[at]);
        uint32_t nameLength = package::ReadLe32(&package[at + 4]);
        std::string name(reinterpret_cast<const char*>(&package[at + 24]), nameLength);
        Bytes stream(package.begin() + at + 24 + nameLength, package.begin() + at + 24 + nameLength + compressed);
        records.emplace_back(name, stream);
        at += 24 + nameLength + compressed;
    }
    return records;
}

TEST_F(PackTool, CreateVerifyListExtractRoundTrip) {
    // Sizes around the reader's 2 MiB output buffer, and the largest shipped entry's size.
    const std::vector<std::pair<std::string, size_t>> inputs = {
        {"z-last.sys", 3709800}, {"B.dll", 2097152}, {"a.inf", 1}, {"a.inf.v7", 2097153}, {"openssl.txt", 1000}};
    std::vector<std::string> args = {"create", "@out.pkg"};
    uint32_t seed = 1;
    for (const auto& [name, size] : inputs) {
        Write("in-" + name, SampleContents(size, seed++));
        args.push_back("@in-" + name + "=" + name);
    }
    Result created = Run(args);
    ASSERT_EQ(created.code, 0) << created.err;
    EXPECT_EQ(created.err, "");

    // Body order is the order given; every stream carries the maximum-compression header.
    Bytes package = Read("out.pkg");
    auto records = Records(package);
    ASSERT_EQ(records.size(), inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(records[i].first, inputs[i].first);
        ASSERT_GE(records[i].second.size(), 2u);
        EXPECT_EQ(records[i].second[0], 0x78);
        EXPECT_EQ(records[i].second[1], 0xDA);
    }

    Result verified = Run({"verify", "@out.pkg"});
    EXPECT_EQ(verified.code, 0) << verified.err;
    EXPECT_EQ(verified.out, Path("out.pkg") + ": package valid\n");

    // The index orders bytes as unsigned values: capitals before small letters, prefixes first.
    Result listed = Run({"list", "@out.pkg"});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out, "2097152 B.dll\n1 a.inf\n2097153 a.inf.v7\n1000 openssl.txt\n3709800 z-last.sys\n");

    Result extracted = Run({"extract", "@out.pkg", "@x"});
    ASSERT_EQ(extracted.code, 0) << extracted.err;
    for (const auto& [name, size] : inputs) EXPECT_EQ(Read("x/" + name), Read("in-" + name)) << name;
    EXPECT_EQ(fs::directory_iterator(m_dir / "x") != fs::directory_iterator(), true);
    size_t written = std::distance(fs::directory_iterator(m_dir / "x"), fs::directory_iterator());
    EXPECT_EQ(written, inputs.size());
}

TEST_F(PackTool, SameInputsGiveTheSameBytesAndTheKeyFillsTheCheckField) {
    Write("a.bin", SampleContents(5000, 3));
    Write("b.bin", SampleContents(70, 4));
    ASSERT_EQ(Run({"create", "@one.pkg", "@a.bin", "@b.bin"}).code, 0);
    ASSERT_EQ(Run({"create", "@two.pkg", "@a.bin", "@b.bin"}).code, 0);
    EXPECT_EQ(Read("one.pkg"), Read("two.pkg"));

    std::vector<package::PackageInput> entries = {{"a.bin", SampleContents(5000, 3)}, {"b.bin", SampleContents(70, 4)}};
    EXPECT_EQ(Read("one.pkg")[package::kKeyByteOffset], DefaultKeyByte(entries));

    for (uint8_t key : {0x00, 0x5A, 0xFF}) {
        ASSERT_EQ(Run({"create", "--force", "--key", std::to_string(key), "@k.pkg", "@a.bin", "@b.bin"}).code, 0);
        Bytes package = Read("k.pkg");
        ASSERT_EQ(package[package::kKeyByteOffset], key);
        for (size_t i = 0; i < package::kCheckedSize; ++i)
            EXPECT_EQ(package[package::kCheckBlockOffset + i], uint8_t(package[i] ^ key)) << i;
        EXPECT_EQ(Run({"verify", "@k.pkg"}).code, 0);
    }

    // The header counts and digests what follows it.
    Bytes package = Read("one.pkg");
    uint32_t bodyLength = package::ReadLe32(&package[package::kBodyLengthOffset]);
    EXPECT_EQ(package.size(), package::kHeaderSize + bodyLength);
    EXPECT_EQ(package::ReadLe32(&package[package::kEntryCountOffset]), 2u);
    Md5Digest body = CMd5::Of(&package[package::kHeaderSize], bodyLength);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), &package[package::kBodyDigestOffset]));
}

TEST_F(PackTool, ListFilesComeBeforeOperandsInTheirOwnOrder) {
    Write("one", {1});
    Write("two", {2, 2});
    Write("three", {3, 3, 3});
    std::string list = "# inputs\n" + Path("two") + "=second\r\n\n" + Path("one") + "\n";
    Write("inputs.lst", Bytes(list.begin(), list.end()));
    Result created = Run({"create", "--list", "@inputs.lst", "@out.pkg", "@three"});
    ASSERT_EQ(created.code, 0) << created.err;
    auto records = Records(Read("out.pkg"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].first, "second");
    EXPECT_EQ(records[1].first, "one");
    EXPECT_EQ(records[2].first, "three");
}

TEST_F(PackTool, ListFilesReportEveryProblemWithItsLineAndTakePathsFromTheirFolder) {
    fs::create_directory(m_dir / "lists");
    fs::create_directory(m_dir / "lists" / "in");
    Write("lists/in/one", {1});
    Write("lists/in/two", {2, 2});
    Write("lists/empty", {});
    // Paths relative to the list's folder; blanks, indented comments and a byte order mark.
    const std::string good = "\xEF\xBB\xBF in/one\n  # indented comment\n \t \n\tin/two=second  \r\n";
    Write("lists/good.lst", Bytes(good.begin(), good.end()));
    ASSERT_EQ(Run({"create", "--list=" + Path("lists/good.lst"), "@out.pkg"}).code, 0);
    auto records = Records(Read("out.pkg"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].first, "one");
    EXPECT_EQ(records[1].first, "second");

    const std::string longName(256, 'n');
    const std::string bad = "in/one\nmissing\nempty\nin/two=ONE\nin/two=sub/x\nin/one\nin/two=" + longName + "\n";
    Write("lists/bad.lst", Bytes(bad.begin(), bad.end()));
    Result refused = Run({"create", "--list", "@lists/bad.lst", "@out2.pkg", "@lists/in/two=one"});
    EXPECT_EQ(refused.code, 1);
    const std::string list = Path("lists/bad.lst");
    const std::string folder = Path("lists");
    EXPECT_EQ(refused.err,
              list + ":2: cannot open '" + folder + "/missing': No such file or directory\n" +
              list + ":3: '" + folder + "/empty' is empty: an empty entry cannot be carried in a package\n" +
              list + ":4: entry names 'one' (at " + list + ":1) and 'ONE' differ only in letter case: Windows would "
                     "make them one file\n" +
              list + ":5: entry name 'sub/x' holds a path separator\n" +
              list + ":6: entry name 'one' is given twice (first at " + list + ":1)\n" +
              list + ":7: entry name '" + longName + "' is 256 UTF-16 units long; Windows takes at most 255 in a "
                     "file name\n" +
              "linkmoor-pack: entry name 'one' is given twice (first at " + list + ":1)\n");
    EXPECT_FALSE(Exists("out2.pkg"));
}

// A refused command: how the folder is prepared, the arguments, the exit code and a part of the
// message.
struct RefusalCase {
    const char* what;
    std::function<void(PackTool&)> prepare;
    std::vector<std::string> args;
    int code;
    const char* message;
};

TEST_F(PackTool, BadCreateInputsLeaveNoOutput) {
    const RefusalCase cases[] = {
        {"missing input", nullptr, {"create", "@out.pkg", "@a", "@missing"}, 1, "cannot open"},
        {"folder as input", [](PackTool& t) { fs::create_directory(t.m_dir / "sub"); },
         {"create", "@out.pkg", "@a", "@sub"}, 1, "is a folder, not a file"},
        {"empty input", [](PackTool& t) { t.Write("empty", {}); },
         {"create", "@out.pkg", "@a", "@empty"}, 1, "an empty entry cannot be carried"},
        {"same name twice", nullptr, {"create", "@out.pkg", "@a", "@b=a"}, 1,
         "'a' is given twice (first on the command line)"},
        // Windows compares names without letter case: the two would be one file there.
        {"names differing in case", nullptr, {"create", "@out.pkg", "@a=Foo.dll", "@b=foo.dll"}, 1,
         "entry names 'Foo.dll' (on the command line) and 'foo.dll' differ only in letter case"},
        {"name with a path", nullptr, {"create", "@out.pkg", "@a=sub/a"}, 1, "holds a path separator"},
        {"empty name", nullptr, {"create", "@out.pkg", "@a="}, 1, "is empty"},
        {"input over 4 GiB", [](PackTool& t) { fs::resize_file(t.Path("a"), 0x100000000ull); },
         {"create", "@out.pkg", "@a"}, 1, "larger than the 4 GiB"},
        {"missing list file", nullptr, {"create", "--list", "@nolist", "@out.pkg", "@a"}, 1, "cannot open"},
        {"no inputs", nullptr, {"create", "@out.pkg"}, 1, "no input files"},
        {"no output", nullptr, {"create"}, 64, "create needs OUT (see 'linkmoor-pack create --help')"},
        {"output is a folder", [](PackTool& t) { fs::create_directory(t.m_dir / "out.pkg"); },
         {"create", "@out.pkg", "@a"}, 1, "is not a file"},
        {"output folder missing", nullptr, {"create", "@nowhere/out.pkg", "@a"}, 1, "cannot create a temporary file"},
        // The temporary file is written in full, then the final name is refused.
        {"output name too long", nullptr, {"create", "@" + std::string(300, 'o'), "@a"}, 1, "cannot create"},
        {"output is an input", [](PackTool& t) { t.Write("out.pkg", {9}); },
         {"create", "--force", "@out.pkg", "@a", "@out.pkg=x"}, 1, "is also an input"},
        // An empty OUT in a script shifts the operands: the first input must not be replaced.
        {"--force over a non-package", nullptr, {"create", "--force", "@a", "@b"}, 1,
         "exists and is no package and no launcher with a package; --force replaces only those"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_dir);
        fs::create_directory(m_dir);
        Write("a", {1, 2, 3});
        Write("b", {4, 5});
        if (c.prepare) c.prepare(*this);
        std::set<std::string> before = Listing();
        Result result = Run(c.args);
        EXPECT_EQ(result.code, c.code);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(Listing(), before);  // no output, no temporary file
    }
}

TEST_F(PackTool, AnExistingOutputIsReplacedOnlyWithForceAndOnlyWhenItIsAPackage) {
    Write("a", {1, 2, 3});
    Write("out.pkg", {7, 7});
    for (bool force : {false, true}) {
        Result refused = Run(force ? std::vector<std::string>{"create", "--force", "@out.pkg", "@a"}
                                   : std::vector<std::string>{"create", "@out.pkg", "@a"});
        EXPECT_EQ(refused.code, 1);
        EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
        EXPECT_EQ(Read("out.pkg"), (Bytes{7, 7}));
    }
    ASSERT_EQ(Run({"create", "@p.pkg", "@a"}).code, 0);
    ASSERT_EQ(Run({"create", "--force", "--key", "7", "@p.pkg", "@a"}).code, 0);
    EXPECT_EQ(Read("p.pkg")[package::kKeyByteOffset], 7);
    EXPECT_EQ(Listing(), (std::set<std::string>{"a", "out.pkg", "p.pkg"}));
}

// An executable stand-in: a complete image whose constant data holds the magic text without a
// check field.
Bytes SampleExecutable() { return test::LauncherImage(40000); }

// The sample executable whose security directory names a certificate table of kTableSize bytes
// at `tableOffset` (right after the image by default, and then followed by that table).
constexpr uint32_t kTableSize = 0x100;
const size_t kImageSize = SampleExecutable().size();
Bytes SignedExecutable(uint32_t tableOffset = uint32_t(kImageSize)) {
    Bytes exe = SampleExecutable();
    test::PutCertificateTable(exe, tableOffset, kTableSize);
    if (tableOffset == kImageSize) {
        const Bytes table = test::CertificateTableBytes(kTableSize);
        exe.insert(exe.end(), table.begin(), table.end());
    }
    return exe;
}

TEST_F(PackTool, SignedFilesSayWhetherTheSignatureCoversThePackage) {
    Write("a", SampleContents(3000, 5));
    ASSERT_EQ(Run({"create", "@p.pkg", "@a"}).code, 0);
    const Bytes package = Read("p.pkg");
    const uint64_t end = kImageSize + package.size();
    // Signed after appending: the table follows the package.
    Bytes covered = SignedExecutable(uint32_t(end));
    covered.insert(covered.end(), package.begin(), package.end());
    const Bytes table = test::CertificateTableBytes(kTableSize);
    covered.insert(covered.end(), table.begin(), table.end());
    Write("covered.exe", covered);
    // Appended after signing: the package follows the table.
    Bytes after = SignedExecutable();
    after.insert(after.end(), package.begin(), package.end());
    Write("after.exe", after);

    const std::string coveredLine = Path("covered.exe") +
                                    ": signed: the signature covers the package (it ends at byte " +
                                    std::to_string(end) + ", the certificate table starts at byte " +
                                    std::to_string(end) + ")\n";
    Result verified = Run({"verify", "@covered.exe"});
    EXPECT_EQ(verified.code, 0) << verified.err;
    EXPECT_EQ(verified.out, Path("covered.exe") + ": package valid\n" + Path("covered.exe") +
                                ": launcher built for x86\n" + coveredLine);
    Result checked = Run({"check", "@covered.exe"});
    const size_t summary = checked.out.rfind(Path("covered.exe") + ": check ");
    ASSERT_NE(summary, std::string::npos) << checked.out;
    EXPECT_EQ(checked.out.substr(summary - coveredLine.size(), coveredLine.size()), coveredLine);

    const std::string notCovered =
        Path("after.exe") +
        ": no package, or the package is damaged: the package is not covered by the signature: it ends at byte " +
        std::to_string(kImageSize + kTableSize + package.size()) +
        ", the certificate table starts at byte " + std::to_string(kImageSize) +
        "; the launcher refuses it as damaged (append the package to the unsigned launcher, "
        "then sign)\n";
    for (const char* command : {"verify", "check", "list"}) {
        SCOPED_TRACE(command);
        Result refused = Run({command, "@after.exe"});
        EXPECT_EQ(refused.code, 1);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, notCovered);
    }
}

TEST_F(PackTool, AppendWritesTheExecutableFollowedByThePackage) {
    Write("launcher.exe", SampleExecutable());
    Write("a", SampleContents(3000, 5));
    ASSERT_EQ(Run({"create", "@p.pkg", "@a"}).code, 0);
    Result appended = Run({"append", "@launcher.exe", "@p.pkg", "@out.exe"});
    ASSERT_EQ(appended.code, 0) << appended.err;

    Bytes expected = SampleExecutable();
    Bytes package = Read("p.pkg");
    expected.insert(expected.end(), package.begin(), package.end());
    EXPECT_EQ(Read("out.exe"), expected);
    EXPECT_EQ(Run({"verify", "@out.exe"}).code, 0);
    EXPECT_EQ(Run({"list", "@out.exe"}).out, "3000 a\n");
    EXPECT_EQ(Read("launcher.exe"), SampleExecutable());  // the input stays as it was
}

TEST_F(PackTool, BadAppendInputsLeaveNoOutput) {
    auto damage = [](PackTool& t) {
        Bytes p = t.Read("p.pkg");
        p[p.size() - 5] ^= 0x40;
        t.Write("p.pkg", p);
    };
    auto trail = [](PackTool& t) {
        Bytes p = t.Read("p.pkg");
        p.push_back(0);
        t.Write("p.pkg", p);
    };
    const RefusalCase cases[] = {
        {"executable already carries a package", nullptr, {"append", "@with.exe", "@p.pkg", "@out.exe"}, 1,
         "already carries a package"},
        {"package is damaged", damage, {"append", "@launcher.exe", "@p.pkg", "@out.exe"}, 1, "damaged"},
        {"package has bytes after it", trail, {"append", "@launcher.exe", "@p.pkg", "@out.exe"}, 1,
         "bytes after its package"},
        {"package file is an executable", nullptr, {"append", "@launcher.exe", "@with.exe", "@out.exe"}, 1,
         "does not start with a package"},
        {"package file holds none", nullptr, {"append", "@launcher.exe", "@launcher.exe", "@out.exe"}, 1,
         "does not start with a package"},
        {"missing executable", nullptr, {"append", "@none.exe", "@p.pkg", "@out.exe"}, 1, "cannot open"},
        {"empty executable", [](PackTool& t) { t.Write("launcher.exe", {}); },
         {"append", "@launcher.exe", "@p.pkg", "@out.exe"}, 1, "is empty"},
        {"output exists", [](PackTool& t) { t.Write("out.exe", {1}); },
         {"append", "@launcher.exe", "@p.pkg", "@out.exe"}, 1, "exists already"},
        {"output is the executable", nullptr, {"append", "--force", "@launcher.exe", "@p.pkg", "@launcher.exe"}, 1,
         "is also an input"},
        {"together over 4 GiB", [](PackTool& t) { fs::resize_file(t.Path("launcher.exe"), 0xFFFFFFC0ull); },
         {"append", "@launcher.exe", "@p.pkg", "@out.exe"}, 1, "larger than the 4 GiB"},
        {"executable is signed", [](PackTool& t) { t.Write("launcher.exe", SignedExecutable()); },
         {"append", "@launcher.exe", "@p.pkg", "@out.exe"}, 1, "is signed"},
        {"operands missing", nullptr, {"append", "@launcher.exe", "@p.pkg"}, 64, "append needs"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_dir);
        fs::create_directory(m_dir);
        Write("launcher.exe", SampleExecutable());
        Write("a", SampleContents(100, 6));
        ASSERT_EQ(Run({"create", "@p.pkg", "@a"}).code, 0);
        ASSERT_EQ(Run({"append", "@launcher.exe", "@p.pkg", "@with.exe"}).code, 0);
        if (c.prepare) c.prepare(*this);
        std::set<std::string> before = Listing();
        bool small = fs::file_size(m_dir / "launcher.exe") < 100000;
        Bytes exe = small ? Read("launcher.exe") : Bytes{};
        Result result = Run(c.args);
        EXPECT_EQ(result.code, c.code);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(Listing(), before);
        if (small) EXPECT_EQ(Read("launcher.exe"), exe);
    }
}

TEST_F(PackTool, VerifyListAndExtractShareTheReadersVerdictAndSayWhy) {
    Write("a", SampleContents(5000, 7));
    ASSERT_EQ(Run({"create", "@valid.pkg", "@a"}).code, 0);
    const Bytes valid = Read("valid.pkg");
    const uint32_t body = uint32_t(valid.size() - package::kHeaderSize);
    Bytes damaged = valid;
    damaged[damaged.size() / 2] ^= 1;
    Write("damaged.pkg", damaged);
    Write("cut.pkg", Bytes(valid.begin(), valid.end() - 10));
    Write("header-cut.pkg", Bytes(valid.begin(), valid.begin() + 70));
    // Changes behind a fresh body digest reach the checks of the entries.
    const Bytes two = package::BuildPackage({{"a", {1, 2, 3}}, {"b", {4, 5}}}, 9).bytes;
    const size_t second = package::kHeaderSize + package::kEntryRecordSize + 1 + Records(two)[0].second.size();
    Bytes digest = two;
    digest[second + package::kEntryDigestOffset] ^= 1;
    test::ResealBody(digest);
    Write("digest.pkg", digest);
    Bytes stream = two;
    stream[package::kHeaderSize + package::kEntryRecordSize + 1] = 0;  // no zlib header any more
    test::ResealBody(stream);
    Write("stream.pkg", stream);
    Bytes count = two;
    test::PutLe32(count, package::kEntryCountOffset, 3);
    Write("count.pkg", count);
    Write("plain.bin", SampleExecutable());
    Write("empty.bin", {});
    fs::create_directory(m_dir / "folder");

    const std::string damagedVerdict = "no package, or the package is damaged: ";
    struct Case {
        const char* file;
        int code;
        std::string verdict;
    };
    const Case cases[] = {
        {"valid.pkg", 0, "package valid"},
        {"damaged.pkg", 1,
         damagedVerdict + "the body digest is wrong: bytes of the package were changed after it was written"},
        {"cut.pkg", 1,
         damagedVerdict + "the package is cut short: its header counts " + std::to_string(body) +
             " bytes of body, the file holds " + std::to_string(body - 10) +
             " after the header (an incomplete download or copy?)"},
        {"header-cut.pkg", 1,
         damagedVerdict + "the package is cut short: its header needs 88 bytes, the file holds 70 from where it starts"},
        {"digest.pkg", 1, damagedVerdict + "entry 'b' (record 2 of 2): the MD5 digest of its contents is wrong"},
        {"stream.pkg", 1,
         damagedVerdict + "entry 'a' (record 1 of 2): its data does not inflate to a complete, non-empty zlib stream"},
        {"count.pkg", 1,
         damagedVerdict + "record 3 of 3 runs past the end of the body (the header counts more entries than the "
                          "body holds)"},
        {"plain.bin", 1, damagedVerdict + "no package header anywhere in the file"},
        {"empty.bin", 1, damagedVerdict + "the file is empty"},
        {"missing.pkg", 2, "the file cannot be read: No such file or directory"},
        {"folder", 2, "the file cannot be read: it is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string line = Path(c.file) + ": " + c.verdict + "\n";
        Result verified = Run({"verify", std::string("@") + c.file});
        EXPECT_EQ(verified.code, c.code);
        EXPECT_EQ(c.code == 0 ? verified.out : verified.err, line);
        if (c.code == 0) continue;
        Result listed = Run({"list", std::string("@") + c.file});
        EXPECT_EQ(listed.code, c.code);
        EXPECT_EQ(listed.out, "");
        EXPECT_EQ(listed.err, line);
        Result extracted = Run({"extract", std::string("@") + c.file, "@x"});
        EXPECT_EQ(extracted.code, c.code);
        EXPECT_FALSE(Exists("x"));
    }
}

// What stands before a package must be a complete 32-bit Windows program; the package itself
// stays valid (list reads it), but verify, check and append refuse the file.
TEST_F(PackTool, OnlyACompleteLauncherImageStandsBeforeAPackage) {
    Write("a", SampleContents(3000, 5));
    ASSERT_EQ(Run({"create", "@p.pkg", "@a"}).code, 0);
    const Bytes package = Read("p.pkg");
    auto with = [](Bytes image, size_t at, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), image.begin() + at);
        return image;
    };
    const size_t coff = test::kPeAt + 4;
    const Bytes image = SampleExecutable();
    struct Case {
        const char* what;
        Bytes front;
        const char* problem;
    };
    const Case cases[] = {
        {"text", test::ToBytes("#!/bin/sh\necho this is no program\n"),
         "it does not start with 'MZ', as every Windows executable does"},
        {"ELF", test::ToBytes("\x7F" "ELF and the rest of a Linux program"), "it is an ELF file"},
        {"cut launcher", Bytes(image.begin(), image.begin() + 4096),
         "its section '.text' holds raw data up to byte 41024, beyond byte 4096, where "},
        {"no PE header", with(image, test::kPeAt, {'N', 'E'}), "there is no PE signature at byte 128"},
        {"PE32+ for i386", with(image, coff + 20, {0x0B, 0x02}),
         "its optional header is the 64-bit kind (PE32+), but it is built for 32-bit x86"},
        {"ARM64 program", with(image, coff, {0x64, 0xAA}), "it is built for ARM64, not for 32-bit x86"},
        {"DLL", with(image, coff + 19, {0x20}), "it is a DLL, not a program"},
        {"no sections", with(image, coff + 2, {0, 0}), "it has no sections"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = c.front;
        file.insert(file.end(), package.begin(), package.end());
        Write("front.exe", file);
        Write("bare.exe", c.front);
        Result verified = Run({"verify", "@front.exe"});
        EXPECT_EQ(verified.code, 8);
        EXPECT_NE(verified.err.find(": the package is valid, but what stands before it is no complete 32-bit "
                                    "Windows executable: " + std::string(c.problem)),
                  std::string::npos)
            << verified.err;
        EXPECT_EQ(Run({"list", "@front.exe"}).code, 0);
        Result checked = Run({"check", "@front.exe"});
        EXPECT_EQ(checked.code, 8);
        EXPECT_NE(checked.out.find("check failed: what stands before the package is no complete 32-bit Windows "
                                   "executable (" + std::string(c.problem)),
                  std::string::npos)
            << checked.out;
        Result appended = Run({"append", "@bare.exe", "@p.pkg", "@out.exe"});
        EXPECT_EQ(appended.code, 1);
        EXPECT_NE(appended.err.find("is no complete 32-bit Windows executable: "), std::string::npos) << appended.err;
        EXPECT_FALSE(Exists("out.exe"));
    }
    // A package file has nothing in front: verify takes it, check says what it lacks.
    EXPECT_EQ(Run({"verify", "@p.pkg"}).code, 0);
    Result bare = Run({"check", "@p.pkg"});
    EXPECT_EQ(bare.code, 9);
    EXPECT_NE(bare.out.find(Path("p.pkg") + ": check failed: a package without a launcher, which no machine can "
                                            "start; appended to the launcher: 6 of 6 machines would stop"),
              std::string::npos)
        << bare.out;
}

TEST_F(PackTool, DiffNamesChangedEntriesAndWhichBytesDiffer) {
    Write("B", SampleContents(4000, 1));
    Write("a", SampleContents(3000, 2));
    Write("a2", SampleContents(3000, 5));  // same size as a, other bytes
    Write("c", SampleContents(100, 4));
    ASSERT_EQ(Run({"create", "@old.pkg", "@B", "@a", "@c"}).code, 0);
    ASSERT_EQ(Run({"create", "--key", "0x11", "@rekeyed.pkg", "@B", "@a", "@c"}).code, 0);
    ASSERT_EQ(Run({"create", "@new.pkg", "@a2=a", "@B", "@c=d"}).code, 0);
    Write("launcher.exe", SampleExecutable());
    Bytes other = SampleExecutable();
    other[1000] ^= 1;
    Write("other.exe", other);
    ASSERT_EQ(Run({"append", "@launcher.exe", "@old.pkg", "@one.exe"}).code, 0);
    ASSERT_EQ(Run({"append", "@other.exe", "@old.pkg", "@two.exe"}).code, 0);
    // one.exe signed: the checksum and the security directory written, the table appended.
    Bytes signedOne = Read("one.exe");
    const uint32_t tableAt = uint32_t(signedOne.size());
    test::PutLe32(signedOne, test::kPeAt + 24 + 64, 0x1234);
    test::PutCertificateTable(signedOne, tableAt, kTableSize);
    const Bytes table = test::CertificateTableBytes(kTableSize);
    signedOne.insert(signedOne.end(), table.begin(), table.end());
    Write("signed.exe", signedOne);
    // Signed again (another certificate), with bytes after the table, and cut inside the table.
    Bytes resigned = signedOne;
    resigned.back() ^= 1;
    Write("resigned.exe", resigned);
    Bytes extra = signedOne;
    extra.insert(extra.end(), 7, 0);
    Write("extra.exe", extra);
    Write("cut.exe", Bytes(signedOne.begin(), signedOne.end() - 9));
    Bytes trailed = Read("one.exe");
    trailed.push_back(0);
    Write("trailed.exe", trailed);

    const std::string same3 = "entries same 3, changed 0, added 0, removed 0; package bytes ";
    struct Case {
        const char* older;
        const char* newer;
        int code;
        std::string lines;  // the entry lines, then the summary after "OLD -> NEW: "
    };
    const Case cases[] = {
        {"old.pkg", "old.pkg", 0,
         same3 + "identical; bytes before the package identical; bytes after the package identical"},
        // The key byte (and so every byte of the streams' framing) differs, the contents not.
        {"old.pkg", "rekeyed.pkg", 10,
         same3 + "differ; bytes before the package identical; bytes after the package identical"},
        {"one.exe", "two.exe", 10,
         same3 + "identical; bytes before the package differ; bytes after the package identical"},
        {"one.exe", "signed.exe", 11,
         same3 + "identical; bytes before the package differ only in the signature fields; bytes after the "
                 "package differ; only the signature differs"},
        {"signed.exe", "resigned.exe", 11,
         same3 + "identical; bytes before the package identical; bytes after the package differ; only the "
                 "signature differs"},
        // Bytes beyond the table, or a table cut short: more than the signature differs.
        {"signed.exe", "extra.exe", 10,
         same3 + "identical; bytes before the package identical; bytes after the package differ"},
        {"one.exe", "cut.exe", 10,
         same3 + "identical; bytes before the package differ only in the signature fields; bytes after the "
                 "package differ"},
        {"one.exe", "trailed.exe", 10,
         same3 + "identical; bytes before the package identical; bytes after the package differ"},
        // Index order (capitals first); a renamed entry is one removed and one added.
        {"old.pkg", "new.pkg", 6,
         "changed a: 3000 -> 3000 bytes\nremoved c: 100 bytes\nadded d: 100 bytes\n"
         "entries same 1, changed 1, added 1, removed 1; package bytes differ; bytes before the "
         "package identical; bytes after the package identical"},
        {"one.exe", "new.pkg", 6,
         "changed a: 3000 -> 3000 bytes\nremoved c: 100 bytes\nadded d: 100 bytes\n"
         "entries same 1, changed 1, added 1, removed 1; package bytes differ; bytes before the "
         "package differ; bytes after the package identical"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.older) + " -> " + c.newer);
        Result diff = Run({"diff", std::string("@") + c.older, std::string("@") + c.newer});
        EXPECT_EQ(diff.code, c.code) << diff.err;
        const size_t summaryAt = c.lines.rfind('\n') == std::string::npos ? 0 : c.lines.rfind('\n') + 1;
        EXPECT_EQ(diff.out, c.lines.substr(0, summaryAt) + Path(c.older) + " -> " + Path(c.newer) +
                                ": " + c.lines.substr(summaryAt) + "\n");
        EXPECT_EQ(diff.err, "");
    }

    // Either side unreadable or damaged: the verdict of verify, and no report.
    Bytes damaged = Read("new.pkg");
    damaged[damaged.size() - 3] ^= 1;
    Write("damaged.pkg", damaged);
    Result broken = Run({"diff", "@old.pkg", "@damaged.pkg"});
    EXPECT_EQ(broken.code, 1);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err, Path("damaged.pkg") +
                              ": no package, or the package is damaged: the body digest is wrong: bytes of the "
                              "package were changed after it was written\n");
    EXPECT_EQ(Run({"diff", "@missing.pkg", "@old.pkg"}).code, 2);
    EXPECT_EQ(Run({"diff", "@old.pkg"}).code, 64);
}

TEST_F(PackTool, ExtractChecksEveryTargetBeforeWritingAny) {
    // A package made by the writer directly can hold names the tool would never pack.
    package::WriteResult unsafe = package::BuildPackage({{"good", {1}}, {"../evil", {2}}}, 3);
    ASSERT_TRUE(unsafe.ok) << unsafe.error;
    Write("unsafe.pkg", unsafe.bytes);
    Result refused = Run({"extract", "@unsafe.pkg", "@x"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("'../evil' holds a path separator"), std::string::npos) << refused.err;
    EXPECT_FALSE(Exists("x"));
    EXPECT_FALSE(Exists("evil"));

    Write("a", {1, 1});
    Write("b", {2, 2});
    ASSERT_EQ(Run({"create", "@p.pkg", "@a", "@b"}).code, 0);
    fs::create_directory(m_dir / "x");
    Write("x/b", {9});
    Result existing = Run({"extract", "@p.pkg", "@x"});
    EXPECT_EQ(existing.code, 1);
    EXPECT_NE(existing.err.find("exists already"), std::string::npos) << existing.err;
    EXPECT_FALSE(Exists("x/a"));
    EXPECT_EQ(Read("x/b"), Bytes{9});

    ASSERT_EQ(Run({"extract", "--force", "@p.pkg", "@x"}).code, 0);
    EXPECT_EQ(Read("x/a"), (Bytes{1, 1}));
    EXPECT_EQ(Read("x/b"), (Bytes{2, 2}));
    EXPECT_EQ(Listing(), (std::set<std::string>{"a", "b", "p.pkg", "unsafe.pkg", "x", "x/a", "x/b"}));

    // --force never writes over the package being extracted.
    ASSERT_EQ(Run({"create", "@x/p.pkg", "@a", "@b=p.pkg"}).code, 0);
    Result self = Run({"extract", "--force", "@x/p.pkg", "@x"});
    EXPECT_EQ(self.code, 1);
    EXPECT_NE(self.err.find("is the package file itself: nothing extracted"), std::string::npos) << self.err;

    // Names that Windows would take for one file are never merged into one.
    Write("clash.pkg", package::BuildPackage({{"Foo.dll", {1}}, {"foo.dll", {2}}}, 3).bytes);
    Result clash = Run({"extract", "@clash.pkg", "@y"});
    EXPECT_EQ(clash.code, 1);
    EXPECT_NE(clash.err.find("entries 'Foo.dll' and 'foo.dll' differ only in letter case"), std::string::npos);
    EXPECT_FALSE(Exists("y"));
}

TEST_F(PackTool, AFailedExtractRemovesWhatItWroteAndSaysSo) {
    // The third entry's name is 128 UTF-16 units, which Windows takes, but 384 bytes of UTF-8,
    // more than a Linux file system takes: the first two are written, then the third fails.
    std::string longName;
    for (int i = 0; i < 128; ++i) longName += "\xE2\x82\xAC";  // U+20AC
    Write("p.pkg", package::BuildPackage({{"a", {1}}, {"b", {2}}, {longName, {3}}}, 3).bytes);
    fs::create_directory(m_dir / "old");
    Write("old/b", {9});
    for (bool force : {false, true}) {
        SCOPED_TRACE(force ? "into a folder with b, --force" : "into a new folder");
        const char* folder = force ? "@old" : "@new";
        Result failed = force ? Run({"extract", "--force", "@p.pkg", folder}) : Run({"extract", "@p.pkg", folder});
        EXPECT_EQ(failed.code, 1);
        EXPECT_NE(failed.err.find("; extract stopped after writing 2 of 3 entries into " + Path(folder + 1)),
                  std::string::npos)
            << failed.err;
        EXPECT_NE(failed.err.find(force ? "the 1 new files it wrote were removed; 1 files that existed were replaced"
                                        : "the 2 new files it wrote were removed"),
                  std::string::npos)
            << failed.err;
    }
    // The new folder went with its files; the old one keeps what was there, replaced.
    EXPECT_EQ(Listing(), (std::set<std::string>{"old", "old/b", "p.pkg"}));
    EXPECT_EQ(Read("old/b"), Bytes{2});
}

TEST_F(PackTool, HelpVersionAndUsageErrors) {
    // Help for the tool and for each command, on standard output.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"help"}, {"--help"}, {"-h"}, {"help", "diff"}, {"create", "--help"}, {"verify", "-h"},
             {"explain", "--help"}, {"extract", "--force", "--help"}}) {
        Result result = Run(args);
        EXPECT_EQ(result.code, 0) << args[0];
        EXPECT_EQ(result.out.rfind("usage:", 0), 0u) << result.out;
        EXPECT_EQ(result.err, "");
    }
    EXPECT_NE(Run({"create", "--help"}).out.find("usage: linkmoor-pack create [--force]"), std::string::npos);
    Result version = Run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_NE(version.out.find("\nlauncher 2.5.0.3540\nzlib "), std::string::npos) << version.out;

    // A usage error is one line with a hint.
    struct Case {
        std::vector<std::string> args;
        const char* line;
    };
    const Case cases[] = {
        {{}, "linkmoor-pack: no command given (see 'linkmoor-pack --help')"},
        {{"pack"}, "linkmoor-pack: unknown command 'pack' (see 'linkmoor-pack --help')"},
        {{"verify"}, "linkmoor-pack: verify needs FILE (see 'linkmoor-pack verify --help')"},
        {{"verify", "a", "b"},
         "linkmoor-pack: 'b' is one operand too many: verify takes FILE (see 'linkmoor-pack verify --help')"},
        {{"append", "e", "p", "o", "x"}, "linkmoor-pack: 'x' is one operand too many: append takes EXE PACKAGE OUT "
                                         "(see 'linkmoor-pack append --help')"},
        {{"help", "bogus"},
         "linkmoor-pack: no help on 'bogus': it is no command of linkmoor-pack (see 'linkmoor-pack --help')"},
        {{"help", "create", "extra"}, "linkmoor-pack: 'extra' is one operand too many: help takes at most one COMMAND "
                                      "(see 'linkmoor-pack --help')"},
        {{"--version", "--json"}, "linkmoor-pack: '--json' is one operand too many: --version takes nothing after it "
                                  "(see 'linkmoor-pack --help')"},
        {{"extract", "a"}, "linkmoor-pack: extract needs FILE DIR (see 'linkmoor-pack extract --help')"},
        {{"create", "--key", "x", "o"},
         "linkmoor-pack: --key takes 0 to 255 or 0x00 to 0xff, not 'x' (see 'linkmoor-pack create --help')"},
        {{"list", "--force", "f"}, "linkmoor-pack: --force belongs to create, append and extract (see "
                                   "'linkmoor-pack list --help')"},
    };
    for (const Case& c : cases) {
        Result result = Run(c.args);
        EXPECT_EQ(result.code, 64);
        EXPECT_EQ(result.err, std::string(c.line) + "\n");
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace
}  // namespace linkmoor::tools
