// Loading against the point-cloud library's own reader: every well-formed
// file must give the same points bit for bit, every broken one a refusal.
#include <gtest/gtest.h>
#include <lzf.h>
#include <pcl/common/io.h>
#include <pcl/io/pcd_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "cloud/Cloud.h"
#include "cloud/CloudTestAccess.h"
#include "cloud/pcd/PcdReader.h"

namespace {

std::uint32_t Bits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

std::string Head(const std::string& fields, const std::string& sizes, const std::string& types,
                 const std::string& counts, std::size_t width, std::size_t height,
                 const std::string& data, const std::string& viewpoint = "0 0 0 1 0 0 0") {
    return "# .PCD v0.7\nVERSION 0.7\nFIELDS " + fields + "\nSIZE " + sizes + "\nTYPE " + types +
           "\nCOUNT " + counts + "\nWIDTH " + std::to_string(width) + "\nHEIGHT " +
           std::to_string(height) + "\nVIEWPOINT " + viewpoint + "\nPOINTS " +
           std::to_string(width * height) + "\nDATA " + data + "\n";
}

std::string Xyz(std::size_t n, const std::string& data = "ascii") {
    return Head("x y z", "4 4 4", "F F F", "1 1 1", n, 1, data);
}

template <typename T>
void Put(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

/// A compressed body: sizes, then the LZF block of the field-by-field bytes.
std::string Compressed(const std::string& byField) {
    std::string packed(byField.size() + 64, '\0');
    const unsigned n =
        byField.empty() ? 0
                        : lzf_compress(byField.data(), byField.size(), &packed[0], packed.size());
    std::string out;
    Put(out, std::uint32_t(n));
    Put(out, std::uint32_t(byField.size()));
    return out + packed.substr(0, n);
}

/// Values that round differently once and twice, sit at the edges of float's
/// range, or are written the ways other tools write them.
const char* const kTricky[] = {"1.0000000596046448",
                               "-1.0000000596046448",
                               "0.1",
                               "3.4028234e38",
                               "1.17549428e-38",
                               "1.1754942e-38",
                               "1e-45",
                               "1.4e-45",
                               "7.006e-46",
                               "7.0065e-46",
                               "7e-46",
                               "1e-50",
                               "+2.5",
                               "+.5",
                               "-.25",
                               "5.",
                               "1E+05",
                               "0.000000000000000000000000000000000000000000001401298464324817",
                               "123456789012345678901234567890",
                               "-0",
                               "0.30000001192092895507812500000000001",
                               "nan",
                               "NaN"};

/// Random values printed with too many digits just beside float midpoints.
std::vector<std::string> NearMidpoints(std::size_t count) {
    std::mt19937 rng(11);
    std::vector<std::string> out;
    char buf[64];
    while (out.size() < count) {
        std::uint32_t u = rng() & 0x7f7fffffu;
        float f;
        std::memcpy(&f, &u, sizeof f);
        const double mid = (static_cast<double>(f) + std::nextafter(f, INFINITY)) / 2;
        const double off = std::ldexp(mid, -60) * ((rng() % 3) - 1.0);
        std::snprintf(buf, sizeof buf, rng() % 2 ? "%.25g" : "-%.25g", mid + off);
        out.push_back(buf);
        std::snprintf(buf, sizeof buf, "%.9g", f);
        out.push_back(buf);
    }
    return out;
}

std::string AsciiRows(const std::vector<std::string>& values) {
    std::string rows;
    for (std::size_t i = 0; i + 2 < values.size(); i += 3) {
        rows += values[i] + " " + values[i + 1] + " " + values[i + 2] + "\n";
    }
    return rows;
}

/// The well-formed files, by name.
std::vector<std::pair<std::string, std::string>> WellFormed() {
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> tricky(std::begin(kTricky), std::end(kTricky));
    tricky.resize(tricky.size() / 3 * 3);
    files.emplace_back("tricky later", Xyz(tricky.size() / 3 + 1) + "0 0 1\n" + AsciiRows(tricky));
    for (const char* v : kTricky) {
        files.emplace_back(std::string("tricky first ") + v, Xyz(2) + v + " 1 2\n" + v + " 3 4\n");
    }
    files.emplace_back("first point missing", Xyz(2) + "nan nan nan\n1.0000000596046448 2 3\n");
    const std::vector<std::string> mids = NearMidpoints(3000);
    files.emplace_back("near midpoints", Xyz(mids.size() / 3) + AsciiRows(mids));
    files.emplace_back("layout",
                       "VERSION .7\r\nFIELDS x y z\r\n# note\r\nSIZE 4 4 4\r\nTYPE F F F\r\n\n"
                       "WIDTH 2\r\nHEIGHT 2\r\nPOINTS 4\r\nDATA ascii\r\n 1\t2  3 \r\n\n4 5 6\r\n"
                       "7 8 9\n10 11 12\n \n\t\n");
    files.emplace_back("no newline at end", Xyz(1) + "1 2 3");
    files.emplace_back("empty", Xyz(0));
    files.emplace_back("empty square", Head("x y z", "4 4 4", "F F F", "1 1 1", 0, 0, "ascii"));
    files.emplace_back("fields around",
                       Head("rgb normal z i y _ x w", "4 4 4 2 4 4 4 8", "U F F I F F F F",
                            "1 3 1 1 1 1 1 2", 2, 1, "ascii", "1.5 -2 3e-3 0.5 0.5 -0.5 0.5") +
                           "4278190335 nan 1 2 3 -7 0.1 nan 8 1e300 2\n"
                           "0 1 1 1 0.3 -32768 2 nan 9 5 6\n");
    files.emplace_back("integer first",
                       Head("i x y z", "1 4 4 4", "U F F F", "1 1 1 1", 1, 1, "ascii") +
                           "7 1.0000000596046448 2 3\n");

    // Binary and compressed bodies, interleaved and field by field.
    std::mt19937 rng(5);
    const std::size_t n = 200;
    std::string inter, byField[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t rgb = rng();
        float x;
        const std::uint32_t bx = rng();
        std::memcpy(&x, &bx, sizeof x);
        const float y = i % 17 == 0 ? NAN : static_cast<float>(i) * 0.001f;
        const double w = i;
        const float z = -static_cast<float>(i);
        Put(inter, rgb), Put(inter, x), Put(inter, w), Put(inter, y), Put(inter, z);
        Put(byField[0], rgb), Put(byField[1], x), Put(byField[2], w), Put(byField[3], y);
        Put(byField[3], z);
    }
    const std::string head = Head("rgb x w y z", "4 4 8 4 4", "U F F F F", "1 1 1 1 1", n, 1, "");
    const std::string fields = byField[0] + byField[1] + byField[2] + byField[3];
    files.emplace_back("binary", head.substr(0, head.size() - 1) + "binary\n" + inter);
    files.emplace_back(
        "compressed", head.substr(0, head.size() - 1) + "binary_compressed\n" + Compressed(fields));
    std::string finite = Xyz(2, "binary");
    Put(finite, 1.0f), Put(finite, 2.0f), Put(finite, 3.0f);
    Put(finite, -0.0f), Put(finite, 1e-45f), Put(finite, 3.4e38f);
    files.emplace_back("binary dense", finite);
    files.emplace_back("binary ending in a line break", finite + "\r\n");
    files.emplace_back("compressed empty", Xyz(0, "binary_compressed") + Compressed(""));
    return files;
}

/// Files written by the library itself, with its padding fields.
std::vector<std::pair<std::string, std::string>> LibraryWritten(
    const boost::filesystem::path& dir) {
    pcl::PointCloud<pcl::PointXYZRGBNormal> pts;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-5, 5);
    for (int i = 0; i < 300; ++i) {
        pcl::PointXYZRGBNormal p;
        p.x = u(rng), p.y = i % 50 ? u(rng) : NAN, p.z = u(rng), p.rgba = rng();
        p.normal_x = u(rng), p.curvature = u(rng);
        pts.push_back(p);
    }
    pts.width = 30, pts.height = 10;
    pts.sensor_origin_ = Eigen::Vector4f(0.1f, 0.2f, 0.3f, 0.0f);
    pts.sensor_orientation_ = Eigen::Quaternionf(0.5f, 0.5f, -0.5f, 0.5f);
    std::vector<std::pair<std::string, std::string>> files;
    const std::string f = (dir / "lib.pcd").string();
    pcl::PCDWriter w;
    w.writeASCII(f, pts), files.emplace_back("library ascii", ReadFile(f));
    w.writeBinary(f, pts), files.emplace_back("library binary", ReadFile(f));
    w.writeBinaryCompressed(f, pts), files.emplace_back("library compressed", ReadFile(f));
    return files;
}

class PcdReading : public ::testing::Test {
protected:
    /// Load through the Cloud, compared with the library's read and copy.
    void ExpectSameAsLibrary(const std::string& name, const std::string& text) {
        const boost::filesystem::path file = tmp.path() / "in.pcd";
        WriteFile(file, text);
        pcl::PointCloud<pcl::PointXYZ> xyz;
        ASSERT_EQ(pcl::PCDReader().read(file.string(), xyz, 0), 0) << name;
        PointCloudRGB expected;
        pcl::copyPointCloud(xyz, expected);

        Cloud c;
        testing::internal::CaptureStdout();
        std::string error;
        try {
            c.Load(file.string());
        } catch (const std::exception& e) {
            error = e.what();
        }
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(error, "") << name;
        const PointCloudRGB& got = *c.getCloud();
        EXPECT_EQ(got.width, expected.width) << name;
        EXPECT_EQ(got.height, expected.height) << name;
        EXPECT_EQ(got.is_dense, expected.is_dense) << name;
        EXPECT_EQ(got.sensor_origin_, expected.sensor_origin_) << name;
        EXPECT_EQ(got.sensor_orientation_.coeffs(), expected.sensor_orientation_.coeffs()) << name;
        ASSERT_EQ(got.size(), expected.size()) << name;
        for (std::size_t i = 0; i < got.size(); ++i) {
            for (int a = 0; a < 4; ++a) {
                ASSERT_EQ(Bits(got[i].data[a]), Bits(expected[i].data[a]))
                    << name << " point " << i;
            }
            ASSERT_EQ(got[i].rgba, expected[i].rgba) << name;
        }
    }

    TempFolder tmp;
};

}  // namespace

TEST_F(PcdReading, WellFormedFilesReadAsTheLibraryReadsThem) {
    pcl::console::setVerbosityLevel(pcl::console::L_ALWAYS);
    for (const auto& [name, text] : WellFormed()) {
        ExpectSameAsLibrary(name, text);
    }
    for (const auto& [name, text] : LibraryWritten(tmp.path())) {
        ExpectSameAsLibrary(name, text);
    }
}

TEST_F(PcdReading, LargeAsciiFileSplitOverThreadsReadsTheSame) {
    std::vector<std::string> values = NearMidpoints(220000);
    values[0] = "nan";
    values[1] = "1.0000000596046448";  // the file's first converted value
    std::string text = Xyz(values.size() / 3) + AsciiRows(values);
    ASSERT_GT(text.size(), std::size_t{4} << 20);
    ExpectSameAsLibrary("large", text);
}

TEST_F(PcdReading, NonFiniteWordsAndNoReturnZerosReadAsPointsWithoutCoordinates) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Token (as writers spell it, in any case and sign), and what x reads as.
    const std::vector<std::pair<std::string, float>> words = {
        {"nan", nan},  {"-nan", nan},      {"+NaN", nan},       {"NAN", nan},
        {"inf", inf},  {"-inf", -inf},     {"+Inf", inf},       {"INF", inf},
        {"infinity", inf}, {"-Infinity", -inf},
    };
    const boost::filesystem::path file = tmp.path() / "S1.pcd";
    for (const auto& [word, value] : words) {
        WriteFile(file, Xyz(2) + word + " 2 3\n4 5 6\n");
        const PcdReader::Points read = PcdReader::Read(file.string());
        ASSERT_EQ(read.xyz.size(), 6u) << word;
        EXPECT_FALSE(read.isDense) << word;
        if (std::isnan(value)) {
            EXPECT_TRUE(std::isnan(read.xyz[0])) << word;
        } else {
            EXPECT_EQ(read.xyz[0], value) << word;
        }
        EXPECT_EQ(read.xyz[3], 4.0f) << word;
    }
    // The library's own writer spells non-finite values this way.
    pcl::PointCloud<pcl::PointXYZ> special;
    special.push_back(pcl::PointXYZ(inf, -inf, nan));
    special.push_back(pcl::PointXYZ(1.0f, 2.0f, 3.0f));
    pcl::PCDWriter().writeASCII(file.string(), special);
    const PcdReader::Points written = PcdReader::Read(file.string());
    ASSERT_EQ(written.xyz.size(), 6u);
    EXPECT_EQ(written.xyz[0], inf);
    EXPECT_EQ(written.xyz[1], -inf);
    EXPECT_TRUE(std::isnan(written.xyz[2]));

    // A camera's no-return pixel at its own centre loads as a point without
    // coordinates; a point merely near it stays.
    WriteFile(file, Xyz(3) + "0 0 0\n-0 0 -0\n0 0 1e-45\n");
    Cloud c;
    testing::internal::CaptureStdout();
    c.Load(file.string());
    testing::internal::GetCapturedStdout();
    const PointCloudRGB& got = *c.getCloud();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_FALSE(got.is_dense);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(std::isnan(got[i].x) && std::isnan(got[i].y) && std::isnan(got[i].z)) << i;
    }
    EXPECT_EQ(got[2].z, 1e-45f);
}

TEST_F(PcdReading, BrokenFilesAreRefusedNamingFileAndFault) {
    std::string bin = Xyz(2, "binary");
    for (int i = 0; i < 6; ++i) {
        Put(bin, 1.0f * i);
    }
    const std::string packed = Compressed(bin.substr(Xyz(2, "binary").size()));
    const std::string zip = Xyz(2, "binary_compressed");
    std::string wrongUnpacked = packed;
    wrongUnpacked[4] = 20;
    const std::pair<std::string, std::string> broken[] = {
        {"", "empty file"},
        {"VERSION 0.7\nFIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nWIDTH 1\nHEIGHT 1\nPOINTS 1\n",
         "no DATA"},
        {Xyz(2), "0 rows for 2 points"},
        {Xyz(2) + "1 2 3\n", "1 rows for 2 points"},
        {Xyz(300000000) + "1 2 3\n", "1 rows for 300000000 points"},
        {Xyz(400000000) + "1 2 3\n", "too many points"},
        {Xyz(2) + "1 2 3\n4 5\n", "row has 2 values, expected 3 at line 13"},
        {Xyz(2) + "1 2 3\n4 5 6 7\n", "row has 4 values"},
        {Xyz(2) + "1 2 3\n4 5 6\n7 8 9\n", "3 rows for 2 points"},
        {Xyz(2) + "1 2 3\n \n4 5 6\n", "line of blanks"},
        {Xyz(1) + "1 two 3\n", "'two'"},
        {Xyz(1) + "1 2 3x\n", "'3x'"},
        {Xyz(1) + "infinite 2 3\n", "'infinite'"},
        {Xyz(1) + "1 nan1 3\n", "'nan1'"},
        {Xyz(1) + "1 2 --inf\n", "'--inf'"},
        {Xyz(1) + "1 2 in\n", "'in'"},
        {Xyz(1) + "0x1p3 2 3\n", "'0x1p3'"},
        {Xyz(1) + "1e39 2 3\n", "'1e39'"},
        {Xyz(1) + "1 2 1e400\n", "'1e400'"},
        {Xyz(1) + "1 2 3\v\n", "'3\v'"},
        {Head("x y z i", "4 4 4 1", "F F F U", "1 1 1 1", 1, 1, "ascii") + "1 2 3 2.5\n", "'2.5'"},
        {Head("x y z i", "4 4 4 2", "F F F I", "1 1 1 1", 1, 1, "ascii") + "1 2 3 nan\n", "'nan'"},
        {bin.substr(0, bin.size() - 1), "binary data of 23 bytes"},
        {bin + "\n\x01", "binary data of 26 bytes"},
        {zip, "compressed data cut short"},
        {zip + packed.substr(0, packed.size() - 1), "compressed size"},
        {zip + wrongUnpacked, "compressed data holds 20 bytes"},
        {zip + packed.substr(0, 8) + std::string(packed.size() - 8, '\x7f'), "does not unpack"},
        {"FIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nWIDTH 2\nHEIGHT 2\nPOINTS 3\nDATA ascii\n",
         "HEIGHT 2"},
        {Head("x y w", "4 4 4", "F F F", "1 1 1", 1, 1, "ascii") + "1 2 3\n", "no z field"},
        {Head("x y z", "4 4 8", "F F F", "1 1 1", 1, 1, "ascii") + "1 2 3\n",
         "z is not one 4-byte"},
        {Head("x y z", "4 4 4", "F F F", "1 2 1", 1, 1, "ascii") + "1 2 3 4\n", "y is not one"},
        {Head("x y z", "4 4 4", "F F I", "1 1 1", 1, 1, "ascii") + "1 2 3\n", "z is not one"},
        {Head("x y z x", "4 4 4 4", "F F F F", "1 1 1 1", 1, 1, "ascii") + "1 2 3 4\n", "two x"},
        {"FIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nWIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA\n1 2 3\n",
         "DATA"},
        {"FIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nWIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA text\n1 2 3\n",
         "DATA"},
        {"FIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nWIDTHS 1\nHEIGHT 1\nPOINTS 1\nDATA ascii\n1 2 3\n",
         "unknown header line 'WIDTHS'"},
        {"FIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nWIDTH -1\nHEIGHT 1\nPOINTS 1\nDATA ascii\n1 2 3\n",
         "WIDTH"},
        {"FIELDS x y z\nSIZE 4 4\nTYPE F F F\nWIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA ascii\n1 2 3\n",
         "SIZE has 2"},
        {"FIELDS x y z\nSIZE 4 4 4\nTYPE F F F\nHEIGHT 1\nPOINTS 1\nDATA ascii\n1 2 3\n",
         "no WIDTH"},
        {"FIELDS x y z\n  \nSIZE 4 4 4\nTYPE F F F\nWIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA ascii\n1 2 "
         "3\n",
         "blank line in the header"},
        {Head("x y z _", "4 4 4 4", "F F F F", "1 1 1 1", 1, 1, "binary_compressed"), "padding"},
    };
    const boost::filesystem::path file = tmp.path() / "S1.pcd";
    for (const auto& [text, fault] : broken) {
        WriteFile(file, text);
        try {
            PcdReader::Read(file.string());
            ADD_FAILURE() << "read: " << text;
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind("Malformed point cloud file: " + file.string() + " (", 0), 0u)
                << what;
            EXPECT_NE(what.find(fault), std::string::npos) << what;
            EXPECT_EQ(what.find('\n'), std::string::npos) << what;
        }
    }
}

TEST_F(PcdReading, FolderOrUnreadableFileIsRefused) {
    const boost::filesystem::path folder = tmp.path() / "S1.pcd";
    boost::filesystem::create_directory(folder);
    try {
        PcdReader::Read(folder.string());
        ADD_FAILURE() << "read a folder";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), ("Unable to read point cloud file: " + folder.string() +
                                " (a folder, not a file)")
                                   .c_str());
    }
    const boost::filesystem::path fifo = tmp.path() / "S2.pcd";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(PcdReader::Read(fifo.string()), std::runtime_error);
}
