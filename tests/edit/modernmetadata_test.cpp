// Phones' and the web's formats as sources of every write: the colour
// profile and the XMP packet they carry reach the written file, the profile
// byte for byte.

#include "edit/batchrunner.h"
#include "edit/saveaswriter.h"
#include "imaging/core/filebytes.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/jxlcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "tests/support/metadatadump.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <atomic>
#include <filesystem>
#include <fstream>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::commandOutput;
using kamelo::test::quoted;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

constexpr const char* kCreator = "Kim Minji";

enum class Source { Heic, Avif, JxlLossless, JxlLossy, WebP, HeicWithoutProfile };
enum class Path { ConvertJpg, ConvertPng, SaveAsTiff, SaveAsWebp, SaveAsAvif };

struct Row {
    Source source;
    Path path;
    bool keepsProfile; // false: the written pixels are sRGB, no profile belongs to them
};

// A Display P3-like matrix profile with a gamma of 1.9: no named colour
// space an encoder could swap it for.
std::string makeProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {
        {0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.9);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    std::string bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    if (profile)
        cmsCloseProfile(profile);
    return bytes;
}

void run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// The samples, made once: a PNG with the profile encoded by each format's
// own tool, the XMP packet added by ExifTool (webpmux for WebP).
class Samples : public testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* tool :
             {"convert", "exiftool", "heif-enc", "avifenc", "cjxl", "cwebp", "webpmux"})
            ASSERT_TRUE(test::haveTool(tool)) << tool << " is needed to make the samples";
        dir_ = new ScratchDir;
        profile_ = makeProfile();
        ASSERT_GT(profile_.size(), 128u);
        test::writeFile(file("p.icc"), profile_);
        std::ofstream(file("x.xmp"))
            << "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
               "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
               "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
               "rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:creator><rdf:Seq>"
               "<rdf:li>"
            << kCreator << "</rdf:li></rdf:Seq></dc:creator></rdf:Description></rdf:RDF>"
            << "</x:xmpmeta>\n<?xpacket end='w'?>";
        const std::string png = quoted(file("in.png"));
        const std::string plain = quoted(file("plain.png"));
        run("convert -size 64x48 gradient:red-blue " + plain);
        run("convert " + plain + " -profile " + quoted(file("p.icc")) + " " + png);
        run("heif-enc -q 90 -o " + quoted(file("s.heic")) + " " + png);
        run("heif-enc -q 90 -o " + quoted(file("n.heic")) + " " + plain);
        run("avifenc -s 10 --icc " + quoted(file("p.icc")) + " " + png + " " +
            quoted(file("s.avif")));
        run("cjxl -d 0 " + png + " " + quoted(file("lossless.jxl")));
        run("cjxl -d 1 " + png + " " + quoted(file("lossy.jxl")));
        run("cwebp -q 90 -metadata icc " + png + " -o " + quoted(file("bare.webp")));
        run("webpmux -set xmp " + quoted(file("x.xmp")) + " " + quoted(file("bare.webp")) + " -o " +
            quoted(file("s.webp")));
        for (const char* name : {"s.heic", "n.heic", "s.avif", "lossless.jxl", "lossy.jxl"})
            run("exiftool -q -m -overwrite_original \"-xmp<=" + file("x.xmp") + "\" " +
                quoted(file(name)));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string file(const std::string& name) { return dir_->file(name); }
    static std::string sourceFile(Source s) {
        switch (s) {
        case Source::Heic:
            return file("s.heic");
        case Source::Avif:
            return file("s.avif");
        case Source::JxlLossless:
            return file("lossless.jxl");
        case Source::JxlLossy:
            return file("lossy.jxl");
        case Source::WebP:
            return file("s.webp");
        case Source::HeicWithoutProfile:
            return file("n.heic");
        }
        return {};
    }
    static std::string profile() { return profile_; }

private:
    static inline ScratchDir* dir_ = nullptr;
    static inline std::string profile_;
};

std::optional<ConversionFormat> conversion(const char* name) {
    for (const ConversionFormat& f : kConversionFormats)
        if (std::string(f.name) == name)
            return f;
    return std::nullopt;
}

// The file a write path makes of source, in a folder of its own.
std::string write(const std::string& source, Path path, const std::string& folder) {
    fs::create_directories(folder);
    const std::string copy = folder + "/" + fs::path(source).filename().string();
    fs::copy_file(source, copy);
    if (path == Path::ConvertJpg || path == Path::ConvertPng) {
        BatchJob job;
        job.sources = {copy};
        job.mode = DestinationMode::Overwrite;
        job.convertTo = conversion(path == Path::ConvertJpg ? "JPG" : "PNG");
        std::string destination;
        struct Events : BatchEvents {
            std::string* to;
            OverwriteAnswer askOverwrite(const std::string&) override {
                return OverwriteAnswer::Yes;
            }
            void written(const std::string&, const std::string& d) override { *to = d; }
        } events;
        events.to = &destination;
        std::atomic<bool> stop{false};
        BatchRunner(std::move(job)).run(events, stop);
        return destination;
    }
    imaging::Bitmap picture;
    if (imaging::PictureFile::load(copy, picture) < 1)
        return {};
    imaging::Orientation::makeUpright(picture, imaging::Orientation::read(copy));
    const std::string out = folder + (path == Path::SaveAsTiff   ? "/saved.tif"
                                      : path == Path::SaveAsWebp ? "/saved.webp"
                                                                 : "/saved.avif");
    std::string reason;
    SaveAsWriter::save(picture, SaveAsWriter::propertiesFor(copy, true), out, 90, reason);
    return out;
}

class ModernMetadata : public Samples, public testing::WithParamInterface<Row> {};

TEST_P(ModernMetadata, TheProfileAndXmpReachTheWrittenFile) {
    const Row row = GetParam();
    static int serial = 0;
    ScratchDir out;
    const std::string written =
        write(sourceFile(row.source), row.path, out.file(std::to_string(++serial)));
    ASSERT_FALSE(written.empty());
    ASSERT_TRUE(fs::exists(written)) << written;
    const std::string icc = test::binaryTag(written, "ICC_Profile");
    if (row.keepsProfile)
        EXPECT_TRUE(icc == profile()) << "profile of " << icc.size() << " bytes";
    else
        EXPECT_TRUE(icc.empty()) << "profile of " << icc.size() << " bytes";
    EXPECT_EQ(commandOutput("exiftool -s3 -XMP-dc:Creator " + quoted(written)),
              std::string(kCreator) + "\n");
    // The packet as the source stored it (its quoting kept), not a rewriting.
    EXPECT_NE(commandOutput("exiftool -b -XMP " + quoted(written)).find("rdf:about=''"),
              std::string::npos);
}

std::vector<Row> rows() {
    std::vector<Row> r;
    for (Path p :
         {Path::ConvertJpg, Path::ConvertPng, Path::SaveAsTiff, Path::SaveAsWebp, Path::SaveAsAvif})
        for (Source s : {Source::Heic, Source::Avif, Source::JxlLossless, Source::WebP})
            r.push_back({s, p, true});
    // Lossy JPEG XL comes out of the decoder as sRGB; nclx-described HEIF
    // has no profile to keep.
    for (Path p : {Path::ConvertJpg, Path::ConvertPng}) {
        r.push_back({Source::JxlLossy, p, false});
        r.push_back({Source::HeicWithoutProfile, p, false});
    }
    return r;
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    static const char* sources[] = {"Heic", "Avif", "JxlLossless", "JxlLossy", "WebP", "HeicNclx"};
    static const char* paths[] = {"ConvertJpg", "ConvertPng", "SaveAsTiff", "SaveAsWebp",
                                  "SaveAsAvif"};
    return std::string(sources[int(info.param.source)]) + "_" + paths[int(info.param.path)];
}

INSTANTIATE_TEST_SUITE_P(WritePaths, ModernMetadata, testing::ValuesIn(rows()), rowName);

// The readers themselves, on whole and on cut files: whole ones give the
// profile as stored, cut ones an error or nothing, never a crash.
TEST_F(Samples, CodecsGiveTheProfileAsStoredAndRefuseCutFiles) {
    struct Case {
        const char* name;
        int (*read)(imaging::ByteView, std::vector<uint8_t>&);
    };
    const Case cases[] = {{"s.heic", imaging::heifcodec::readIccProfile},
                          {"s.avif", imaging::heifcodec::readIccProfile},
                          {"lossless.jxl", imaging::jxlcodec::readIccProfile}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        ASSERT_GE(imaging::readWholeFile(file(c.name), bytes), 1) << c.name;
        std::vector<uint8_t> icc;
        ASSERT_GE(c.read({bytes.data(), bytes.size()}, icc), 1) << c.name;
        EXPECT_EQ(std::string(icc.begin(), icc.end()), profile()) << c.name;
        for (size_t cut : {size_t(0), size_t(12), bytes.size() / 8}) {
            std::vector<uint8_t> part;
            const int rc = c.read({bytes.data(), cut}, part);
            EXPECT_TRUE(rc < 1 || part.empty() ||
                        std::string(part.begin(), part.end()) == profile())
                << c.name << " cut at " << cut;
        }
    }
    std::vector<uint8_t> jxl;
    ASSERT_GE(imaging::readWholeFile(file("lossless.jxl"), jxl), 1);
    std::string xmp;
    ASSERT_GE(imaging::jxlcodec::readXmp({jxl.data(), jxl.size()}, xmp), 1);
    EXPECT_NE(xmp.find(kCreator), std::string::npos);
    const int cutRc = imaging::jxlcodec::readXmp({jxl.data(), jxl.size() / 2}, xmp);
    EXPECT_TRUE(cutRc < 1 || xmp.empty() || xmp.find(kCreator) != std::string::npos);
}

} // namespace
