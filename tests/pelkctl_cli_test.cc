// The pelkctl command line as people run it: each row runs the program with
// arguments and standard input, and checks its exit code and what it wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

Outcome Pelkctl(const std::string& args, const std::string& input) {
  const auto dir = std::filesystem::temp_directory_path() / ("pelkctl_cli_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "in") << input;
  const std::string command = std::string(PELKCTL) + " " + args + " <" + (dir / "in").string() + " >" +
                              (dir / "out").string() + " 2>" + (dir / "err").string();
  const int status = std::system(command.c_str());
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir / "out"), Slurp(dir / "err")};
  std::filesystem::remove_all(dir);
  return run;
}

const std::string kGolden = PELK_WIRE_GOLDEN_DIR;

// A balance summary whose second disk sets a property of version 23.
const std::string kBalance =
    R"({"varianceThreshold":1,"disks":[{"fullness":1,"variance":0,"fullnessAboveThreshold":0,"dataToMoveB":0},)"
    R"({"fullness":2,"variance":0,"fullnessAboveThreshold":0,"dataToMoveB":0,"compFullness":5}]})";
// A call with a parameter of version 24.
const std::string kHealthQuery =
    "PelkZovClusterHealthSystem:PelkZovClusterHealthSystem-1 queryFileServiceHealthSummary "
    "cluster=ClusterComputeResource:domain-c1 includeFileServerHealth=true";

TEST(PelkctlCli, ExitCodesAndMessages) {
  struct Case {
    std::string args;
    std::string input;
    int code;
    std::string inOut;  // expected in standard output
    std::string inErr;  // expected in standard error
  };
  const Case cases[] = {
      // Names: nearest suggestions, wire names, any case.
      {"typez", "", 2, "", "no subcommand named \"typez\"; did you mean types?"},
      {"describe HostSys", "", 2, "", "did you mean HostSystem, qor.HostSystem?"},
      {"describe hostsystem", "", 0, "header    <qor/qor/HostSystem.h>  client <qor/qor/HostSystemStub.h>", ""},
      {"describe PelkDebugSystem", "", 0, "[4] property entity: ref kettar.ManagedObject[]", ""},
      {"describe qor.HostSystem.enterMaint", "", 2, "",
       "no method of qor.HostSystem named \"enterMaint\"; did you mean enterMaintenanceMode?"},
      {"describe qor.HostSystem.EnterMaintenanceMode_Task", "", 0, "privilege \"Host.Config.Maintenance\"  task", ""},
      {"describe --json qor.HostSystem.enterMaintenanceMode", "", 0, "\"wsdlName\": \"EnterMaintenanceMode_Task\"", ""},
      {"versions", "", 0, "pelk.version.version24\tdev.version\tparents qor.version.v8_0_0_1, pelk.version.version23",
       ""},
      {"types --kind nothing", "", 2, "", "--kind"},
      {"decode --help", "", 0, "Example: pelkctl decode", ""},
      // Documents: every shape, from a file or standard input, laid out on request.
      {"decode --request --pretty " + kGolden + "/request.xml", "", 0, "  \"scheduleTime\": 300\n", ""},
      {"encode --request --pretty", Slurp(kGolden + "/request.json"), 0,
       "\n  <soapenv:Body>\n    <PrepareClusterRebootWithNAMM xmlns=\"urn:pelk\">", ""},
      {"decode --fault " + kGolden + "/fault.xml", "", 0, "{\"fault\":{\"_typeName\":\"DpFaultWexdServiceDown\"", ""},
      {"decode --type int", "<int>7</int>", 0, "7\n", ""},
      // Bad documents say where, by line and column.
      {"decode --type anyType --from json --to xml", "{\"a\":\n  [1,2,\n  x]}", 4, "",
       "a[2]: malformed JSON at line 3, column 3 (at byte 16)"},
      {"decode", "<int>7</int>", 2, "", "say what the document holds"},
      {"decode --type int " + kGolden + "/no_such_file", "", 2, "", "cannot read"},
      {"decode --type NoSuchType", "", 2, "", "no type named \"NoSuchType\""},
      // Calls, against a simulated cluster in process: arguments checked by name first.
      {"call --url sim: HostSystem:host-1 enterMaintenanceMode timeout=60", "", 0,
       "{\"_typeName\":\"ManagedObjectReference\",\"type\":\"Task\"", ""},
      {"call --url sim: --xml qor.hostsystem:host-1 EnterMaintenanceMode_Task --args /dev/stdin", "{\"timeout\": 5}", 0,
       "\"type\":\"Task\"", ""},
      {"call --url sim: HostSystem:host-1 enterMaintenanceMode timeout=x", "", 2, "",
       "argument timeout: not a JSON value"},
      {"call --url sim: HostSystem:host-1 enterMaintenanceMode timeout='\"x\"'", "", 2, "",
       "argument timeout: not an int"},
      {"call --url sim: HostSystem:host-1 enterMaintenanceMode timeot=1", "", 2, "", "did you mean timeout?"},
      {"call --url sim: HostSystem:host-1 enterMaintenanceMode", "", 2, "", "argument timeout is required"},
      {"call --url sim: HostSystem:host-9 enterMaintenanceMode timeout=1", "", 1, "",
       "kettar.fault.ManagedObjectNotFound"},
      {"call HostSystem:host-1 enterMaintenanceMode timeout=1", "", 2, "", "--url URL, or PELK_URL"},
      {"get --url sim:3 HostSystem:host-2 name", "", 0, "\"text-", ""},
      {"get --url sim: HostSystem:host-2 nome", "", 1, "", "kettar.query.InvalidProperty"},
      {"decode --type int --version pelk.version.nine", "<int>7</int>", 2, "", "pelk.version.nine"},
      {"serve --plain --session-key /dev/stdin", "short", 2, "", "holds 5 bytes; a key needs at least 32"},
      // --strict: what the version asked for would leave out is listed, and nothing is written or sent.
      {"encode --strict --version pelk.version.version20 --type PelkClusterBalanceSummary", kBalance, 4, "",
       "--strict: disks[1].compFullness: property introduced in pelk.version.version23, not in pelk.version.version20"},
      {"encode --strict --type PelkClusterBalanceSummary", kBalance, 0, "<compFullness>5</compFullness>", ""},
      {"call --url sim: --version pelk.version.version20 --strict " + kHealthQuery, "", 4, "",
       "--strict: includeFileServerHealth: parameter introduced in pelk.version.version24, not in "
       "pelk.version.version20"},
      {"call --url sim: --strict " + kHealthQuery, "", 0, "{\"overallHealth\":", ""},
      {"encode --help", "", 0, "--strict", ""},
  };
  for (const Case& c : cases) {
    const Outcome run = Pelkctl(c.args, c.input);
    EXPECT_EQ(run.code, c.code) << c.args << "\n" << run.err;
    EXPECT_NE(run.out.find(c.inOut), std::string::npos) << c.args << "\n" << run.out;
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << c.args << "\n" << run.err;
  }
}

}  // namespace
