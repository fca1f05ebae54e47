#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/RunHarness.h"
#include "tools/Version.h"

using kelvo_test::RunDir;
using kelvo_test::RunResult;
using kelvo_test::RunTool;

namespace {

const std::string kListing =
    "Available options:\n"
    "  -h [ --help ]                   stampa lista opzioni\n"
    "  --version                       Version of the program\n"
    "  -i [ --index ] arg              Index of object\n"
    "  -u [ --user_id ] arg            User Id\n"
    "  -s [ --session_id ] arg         Session id\n"
    "  -c [ --config ] arg             Config path & file\n"
    "  -n [ --internal_index ] arg     internal index\n"
    "  -p [ --cloud_path ] arg         Cloud path\n"
    "  -o [ --cloud_path_tmp ] arg     Cloud temporary path\n"
    "  -t [ --cluster_tollerance ] arg Cluster tollerance\n"
    "  -m [ --min_cluster_size ] arg   Min cluster size\n"
    "  -M [ --max_cluster_size ] arg   Max cluster size\n"
    "  -d [ --depallet_by_id ] arg     Depallet by id pallet\n"
    "  -e [ --depallet_by_h ] arg      Depallet by height\n"
    "  -f [ --depallet_auto ]          Depallet auto, read al info from database\n"
    "  -a [ --min_color_map ] arg      Min color map\n"
    "  -A [ --max_color_map ] arg      Max color map\n"
    "  -b [ --color_map_type ] arg     Color map type (0: Blue / Red, 1: Green / \n"
    "                                  Magenta, 2: White / Red, 3: Gray / Red, 4: \n"
    "                                  Blue / Green / Red -Rainbow) or custom color \n"
    "                                  (#RRGGBBAA, es:#00AFFFFF)\n"
    "  -z [ --split ]                  Split cloud\n";

/// The printout of the configuration as the test database starts it.
std::string StartConfiguration(const std::string& cfgFile) {
    return "Generic config:\n"
           "\tConfiguration file: " +
           cfgFile +
           "\n"
           "\tDatabase server: " +
           kelvo_test::RequireEnv("KELVO_TEST_DB_HOST") +
           "\n"
           "\tDatabase: " +
           kelvo_test::RequireEnv("KELVO_TEST_DB_NAME") +
           "\n\n"
           "Cloud config:\n"
           "\tBase data folder (Cloud path): \n"
           "\tFile model (Cloud file): S%d.pcd\n"
           "\tCluster tollerance: 0\n"
           "\tMin cluster size: 0\n"
           "\tMax cluster size: 0\n"
           "\tMin color map: 500\n"
           "\tMax color map: 3500\n"
           "\tColor map type: \n"
           "\tOcTree Real Volume Resolution: 0\n"
           "Fine tune:\n"
           "\tInbound correction H: 0\n"
           "\tInbound correction L: 0\n"
           "\tInbound correction W: 0\n"
           "\tReal correction H: 0\n"
           "\tReal correction L: 0\n"
           "\tReal correction W: 0\n"
           "Pallet:\n"
           "\tPallet ID: 0\n"
           "\tPallet Name: \n"
           "\tPallet Height: 0\n"
           "\tPallet Correction Height: 0\n"
           "\tMean K: 50\n"
           "\tStdDev Mul Thresh: 0.5\n";
}

std::string Refusal(const std::string& message) { return message + "\n" + kListing + "\n"; }

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/// A small box-shaped scan, enough for the tool to load.
const std::vector<std::array<float, 3>> kScan = {
    {0.0f, 0.0f, 1.0f},   {0.5f, 0.0f, 1.0f},   {0.5f, 0.3f, 1.0f}, {0.0f, 0.3f, 1.0f},
    {0.0f, 0.0f, 1.4f},   {0.5f, 0.0f, 1.4f},   {0.5f, 0.3f, 1.4f}, {0.0f, 0.3f, 1.4f},
    {0.25f, 0.15f, 1.0f}, {0.25f, 0.15f, 1.4f}, {0.1f, 0.2f, 1.2f}, {0.4f, 0.1f, 1.3f},
};

std::string FileText(const boost::filesystem::path& file) {
    std::ifstream in(file.string(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Paths of every regular file under a folder.
std::vector<std::string> FilesUnder(const boost::filesystem::path& folder) {
    std::vector<std::string> files;
    for (boost::filesystem::recursive_directory_iterator it(folder), end; it != end; ++it) {
        if (boost::filesystem::is_regular_file(it->path())) {
            files.push_back(it->path().string());
        }
    }
    return files;
}

class DriverRun : public kelvo_test::RunFixture {
protected:
    RunResult Run(const std::vector<std::string>& args) { return RunTool(dir, args); }
};

}  // namespace

TEST_F(DriverRun, NoArgumentsRefusesWithTheListing) {
    const RunResult r = Run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Refusal("Operation not defined"));
    EXPECT_EQ(r.err, "");
}

TEST_F(DriverRun, HelpWinsOverEveryOtherOption) {
    const RunResult r = Run({"-z", "--help", "-i", "0", "-d", "3", "-e", "120", "-n", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kListing + "\nDefault configuration:\n" +
                         StartConfiguration("./kelvo_tools.json") + "\n");
}

TEST_F(DriverRun, RefusalsInTheirOrder) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"-d", "3", "-e", "120", "-i", "0"},
         "Incompatible operation Depallet by id pallet / Depallet by height"},
        {{"-i", "5"}, "Operation not defined"},
        {{"--split", "--index", "0"}, "Invalid index, must be > 0!"},
        {{"-z", "--index=-4", "-n", "1", "-s", "x"}, "Invalid index, must be > 0!"},
        {{"-z", "-i", "5", "-n", "0"}, "Invalid internal index,  must be > 0!"},
        {{"-z", "-s", "session"},
         "You must specify the index or session id with the internal index!"},
        {{"-z", "-n", "2"}, "You must specify the index or session id with the internal index!"},
        {{"-f", "-s", "", "-n", "2"},
         "You must specify the index or session id with the internal index!"},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, Refusal(c.message));
    }
}

TEST_F(DriverRun, OverridesShowInTheConfigurationPrintout) {
    const RunResult r = Run({"-z", "-i", "3999", "-t", "20", "-p", "/first", "-o", "/second", "-m",
                             "12", "-M", "5000", "-a", "100", "-A", "2000", "-b", "#00AFFFFF"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "\tCluster tollerance: 0.02\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\tBase data folder (Cloud path): /second\n")) << r.out;
    EXPECT_TRUE(Contains(r.out,
                         "\tMin cluster size: 12\n\tMax cluster size: 5000\n"
                         "\tMin color map: 100\n\tMax color map: 2000\n"
                         "\tColor map type: #00AFFFFF\n"))
        << r.out;
}

TEST_F(DriverRun, MissingRowIsNotFound) {
    const RunResult r = Run({"-z", "-i", "3999", "-c", "kelvo_tools.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, StartConfiguration("kelvo_tools.json") + "\n" +
                         "Not found:\n"
                         "Cloud info:\n\tID: -1\n\tPallet op: 0\n\tParent ID: 0\n\tSID: \n\tN: 0\n"
                         "\tFile Model: \n\tBase path: \n\tPath: \"\"\n\tFilename: \"S0.pcd\"\n"
                         "\tPlane: (0,0,0,0)\n\n");
}

TEST_F(DriverRun, RowWithoutScanIsNotFound) {
    kelvo_test::SeedSession(db, cleanup, "run-noscan", {0.0, 0.0, 1.0, -1.5});
    kelvo_test::SeedObject(db, cleanup, 3001, "run-noscan", 2);
    const std::string data = dir.DataFolder().string();
    const RunResult r = Run({"-z", "-i", "3001", "-p", data});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out,
                         "Not found:\nCloud info:\n\tID: 3001\n\tPallet op: 0\n"
                         "\tParent ID: 0\n\tSID: run-noscan\n\tN: 2\n"
                         "\tFile Model: S%d.pcd\n\tBase path: " +
                             data +
                             "\n"
                             "\tPath: \"" +
                             data +
                             "/run-noscan\"\n"
                             "\tFilename: \"" +
                             data +
                             "/run-noscan/S2.pcd\"\n"
                             "\tPlane: (0,0,1,-1.5)\n\n"))
        << r.out;
}

TEST_F(DriverRun, DepalletAutoAloneFindsTheObjectAndWritesNothing) {
    kelvo_test::SeedSession(db, cleanup, "run-auto");
    kelvo_test::SeedObject(db, cleanup, 3002, "run-auto", 1);
    const boost::filesystem::path scan = dir.DataFolder() / "run-auto" / "S1.pcd";
    kelvo_test::WriteScan(scan, kScan);
    const std::string before = FileText(scan);
    const auto rowBefore = kelvo_test::ReadObject(db, 3002);

    const RunResult r = Run({"-f", "-i", "3002", "-p", dir.DataFolder().string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "\n\nFound!:\n")) << r.out;
    EXPECT_FALSE(Contains(r.out, "Not found:"));
    EXPECT_EQ(FileText(scan), before);
    EXPECT_EQ(FilesUnder(dir.DataFolder()), std::vector<std::string>{scan.string()});
    EXPECT_EQ(kelvo_test::ReadObject(db, 3002), rowBefore);
}

TEST_F(DriverRun, IndexWinsOverSession) {
    kelvo_test::SeedSession(db, cleanup, "run-index");
    kelvo_test::SeedObject(db, cleanup, 3003, "run-index", 1);
    kelvo_test::SeedObject(db, cleanup, 3004, "run-index", 2);
    kelvo_test::WriteScan(dir.DataFolder() / "run-index" / "S1.pcd", kScan);
    const std::string data = dir.DataFolder().string();

    // Index 3004 has no scan: were the session used, its object (with a scan) would be found.
    const RunResult byIndex = Run({"-f", "-p", data, "-i", "3004", "-s", "run-index", "-n", "1"});
    EXPECT_EQ(byIndex.status, 1);
    EXPECT_TRUE(Contains(byIndex.out, "Not found:\nCloud info:\n\tID: 3004\n")) << byIndex.out;

    const RunResult bySession = Run({"-f", "-p", data, "-s", "run-index", "-n", "1"});
    EXPECT_EQ(bySession.status, 0) << bySession.out << bySession.err;
    EXPECT_TRUE(Contains(bySession.out, "Found!:\n")) << bySession.out;
}

TEST_F(DriverRun, SessionIdIsNeverRunAsSql) {
    kelvo_test::SeedSession(db, cleanup, "run-inject");
    kelvo_test::SeedObject(db, cleanup, 3005, "run-inject", 1);
    kelvo_test::WriteScan(dir.DataFolder() / "run-inject" / "S1.pcd", kScan);
    const std::string data = dir.DataFolder().string();

    const RunResult r = Run({"-f", "-p", data, "-s", "x' OR '1'='1", "-n", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "Not found:\nCloud info:\n\tID: -1\n")) << r.out;
    EXPECT_FALSE(Contains(r.out, "# ERR")) << r.out;
    EXPECT_FALSE(kelvo_test::ReadObject(db, 3005).empty());
}

TEST_F(DriverRun, IdentitiesOutsideTheirSessionFolderAreRefused) {
    // Each identity points where a scan is waiting, so a run that followed it
    // would read and write outside the data folder's sessions.
    const std::string data = dir.DataFolder().string();
    kelvo_test::WriteScan(dir.Path() / "S1.pcd", kScan);
    kelvo_test::WriteScan(dir.DataFolder() / "S1.pcd", kScan);
    kelvo_test::WriteScan(dir.Path() / "run-nobase" / "S1.pcd", kScan);
    const auto refusal = [](const RunResult& r) {
        EXPECT_EQ(r.status, 1);
        return r.out.substr(r.out.rfind("\n\n") + 2);
    };
    const std::pair<std::string, std::string> stored[] = {
        {"..", ".."}, {"", ""}, {"x/../..", "x/../.."}, {"a\nb", "a\\x0Ab"}};
    int id = 3010;
    for (const auto& [sid, shown] : stored) {
        kelvo_test::SeedSession(db, cleanup, sid);
        kelvo_test::SeedObject(db, cleanup, id, sid, 1, 2);
        EXPECT_EQ(refusal(Run({"-e", "120", "-z", "-i", std::to_string(id++), "-p", data})),
                  "ERROR: Invalid session id: " + shown + "\n");
    }
    // Given on the command line it is refused before the lookup.
    EXPECT_EQ(Run({"-f", "-s", "..", "-n", "1", "-p", data}).out,
              "ERROR: Invalid session id: ..\n");

    // Without a base data folder, or with one the system would cut off at
    // its NUL, the files would land elsewhere.
    kelvo_test::SeedSession(db, cleanup, "run-nobase");
    kelvo_test::SeedObject(db, cleanup, id, "run-nobase", 1);
    const std::vector<std::string> args = {"-z", "-e", "120", "-i", std::to_string(id)};
    EXPECT_EQ(refusal(Run(args)),
              "ERROR: No base data folder: give --cloud_path or set base.data.folder\n");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "base.data.folder", "", "S");
    db.Exec("UPDATE decode SET decvalue = CONCAT(" +
            kelvo_test::TestDatabase::Quote(dir.Path().string()) +
            ", CHAR(0), '/x') WHERE deckey = 'base.data.folder'");
    EXPECT_EQ(refusal(Run(args)),
              "ERROR: Invalid base data folder: " + dir.Path().string() + "\\x00/x\n");

    EXPECT_EQ(FilesUnder(dir.Path()).size(), 4u);
}

TEST_F(DriverRun, PalletOptionsShowInThePrintout) {
    kelvo_test::SeedPallet(db, cleanup, 3006, "EPAL", 144);
    const RunResult byId = Run({"-d", "3006", "-i", "3999"});
    EXPECT_EQ(byId.status, 1);
    EXPECT_TRUE(
        Contains(byId.out, "\tPallet ID: 3006\n\tPallet Name: EPAL\n\tPallet Height: 144\n"))
        << byId.out;

    const RunResult unknown = Run({"-d", "3007", "-i", "3999"});
    EXPECT_TRUE(Contains(unknown.out, "\tPallet ID: 3007\n\tPallet Name: \n\tPallet Height: 0\n"))
        << unknown.out;

    const RunResult byHeight = Run({"-e", "120", "-i", "3999"});
    EXPECT_TRUE(
        Contains(byHeight.out, "\tPallet ID: 0\n\tPallet Name: CUSTOM\n\tPallet Height: 120\n"))
        << byHeight.out;
}

TEST_F(DriverRun, CommandLineWinsOverTheDecodeTable) {
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "pcl.cluster.tollerance", "0.015", "D");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "pcl.min.cluster.size", "25 apples", "I");
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "base.data.folder", "/from/decode", "S");

    const std::string fromTable = Run({"-z", "-i", "3999"}).out;
    EXPECT_TRUE(Contains(fromTable,
                         "\tBase data folder (Cloud path): /from/decode\n"
                         "\tFile model (Cloud file): S%d.pcd\n"
                         "\tCluster tollerance: 0.015\n"
                         "\tMin cluster size: 25\n"))
        << fromTable;

    const std::string overridden =
        Run({"-z", "-i", "3999", "-t", "20", "-m", "3", "-p", "/cli"}).out;
    EXPECT_TRUE(Contains(overridden,
                         "\tBase data folder (Cloud path): /cli\n"
                         "\tFile model (Cloud file): S%d.pcd\n"
                         "\tCluster tollerance: 0.02\n"
                         "\tMin cluster size: 3\n"))
        << overridden;
}

TEST_F(DriverRun, BadDecodeValueFailsTheConfiguration) {
    kelvo_test::SeedDecode(db, cleanup, "CONFIG", "pcl.min.cluster.size", "apples", "I");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-z", "-i", "1"}, std::vector<std::string>{"-h"}}) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, std::string(args[0] == "-h" ? kListing + "\n" : "") +
                             "ERROR: Unable to initialize config object!\n");
        EXPECT_EQ(r.err, "Invalid argument (pcl.min.cluster.size): stoi\n");
    }
}

TEST(DriverStartFailure, EachEndsWithOneLineAndStatusOne) {
    RunDir noBootstrap(false);
    const RunResult missing = RunTool(noBootstrap, {"-z", "-i", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    if (!boost::filesystem::exists("/etc/kelvo-tools/kelvo_tools.json")) {
        EXPECT_EQ(missing.err,
                  "ERROR: File not found './kelvo_tools.json' or "
                  "'/etc/kelvo-tools/kelvo_tools.json'\n");
    }

    const RunResult unreadable = RunTool(noBootstrap, {"-z", "-i", "1", "-c", "absent.json"});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.err, "ERROR: Unable to open configuration file 'absent.json'\n");

    std::ofstream(noBootstrap.Path() / "broken.json") << "{\"config\": {";
    const RunResult broken = RunTool(noBootstrap, {"-z", "-c", "broken.json"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.err.rfind("ERROR: Invalid configuration file 'broken.json': ", 0), 0u)
        << broken.err;

    // A port where nothing listens: 1 is privileged and unused here.
    std::ofstream(noBootstrap.Path() / "down.json")
        << "{\"config\":{\"database\":{\"server\":\"127.0.0.1\",\"port\":1,"
           "\"database\":\"kelvo\",\"username\":\"kelvo\",\"password\":\"kelvo\"}}}";
    const RunResult down = RunTool(noBootstrap, {"-z", "-i", "1", "-c", "down.json"});
    EXPECT_EQ(down.status, 1);
    EXPECT_EQ(down.err.rfind("ERROR: Unable to open database 'kelvo' at tcp://127.0.0.1:1: ", 0),
              0u)
        << down.err;

    for (const RunResult& r : {missing, unreadable, broken, down}) {
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(DriverStartFailure, VersionAndHelpNeedNoBootstrapFileNorDatabase) {
    RunDir noBootstrap(false);
    const RunResult version = RunTool(noBootstrap, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kelvo_tools " KELVO_VERSION "\n");
    EXPECT_EQ(version.err, "");

    // The listing comes first; the configuration's failure follows as
    // without the option, with its status.
    std::ofstream(noBootstrap.Path() / "down.json")
        << "{\"config\":{\"database\":{\"server\":\"127.0.0.1\",\"port\":1}}}";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"-h", "-c", "down.json"}}) {
        const RunResult help = RunTool(noBootstrap, args);
        EXPECT_EQ(help.status, 1) << args.size();
        EXPECT_EQ(help.out, kListing + "\n");
        EXPECT_EQ(std::count(help.err.begin(), help.err.end(), '\n'), 1) << help.err;
    }
}

TEST(DriverStartFailure, RejectedCommandLineEndsWithOneLine) {
    RunDir dir;
    const RunResult unknown = RunTool(dir, {"--bogus"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "ERROR: unrecognised option '--bogus'\n");

    const RunResult badValue = RunTool(dir, {"-z", "-i", "five"});
    EXPECT_EQ(badValue.status, 1);
    EXPECT_EQ(badValue.err, "ERROR: the argument ('five') for option '--index' is invalid\n");

    const RunResult noValue = RunTool(dir, {"-z", "-i"});
    EXPECT_EQ(noValue.status, 1);
    EXPECT_EQ(std::count(noValue.err.begin(), noValue.err.end(), '\n'), 1) << noValue.err;

    // Values that convert but no run can use are refused the same way, before
    // the configuration is read: no printout, even with the help option.
    const std::pair<std::vector<std::string>, std::string> unusable[] = {
        {{"-t", "nan"}, "the argument ('nan') for option '--cluster_tollerance' is invalid"},
        {{"-A", "-inf", "-h"}, "the argument ('-inf') for option '--max_color_map' is invalid"},
        {{"-M", "-1"}, "the argument ('-1') for option '--max_cluster_size' is invalid"},
        {{"-m", "20", "-M", "10"}, "Min cluster size 20 greater than max cluster size 10"},
    };
    for (const auto& [args, message] : unusable) {
        std::vector<std::string> all = {"-z", "-i", "1"};
        all.insert(all.end(), args.begin(), args.end());
        const RunResult r = RunTool(dir, all);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_EQ(r.out, "") << message;
        EXPECT_EQ(r.err, "ERROR: " + message + "\n");
    }
}
