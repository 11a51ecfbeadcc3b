// Network sessions between real korva processes on 127.0.0.1: each process runs headless in
// its own folder with "netmode.ini" and "network.ini", hosts or joins, and its brains exchange
// texts, element state and shared variables; what they saw is saved with globals_save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A camera record with the network values of fields 47 and 48.
std::string record(const std::string& name, int net_flags, int machine) {
  return name +
         "|./cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|"
         "0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|160/120/479/359/0/20&40/7|0/1|"
         "4096/2/50/0|0|0|0|0|0|0|0|" +
         std::to_string(net_flags) + "|" + std::to_string(machine);
}

// A port for the session, different for every test run so that runs side by side do not meet.
int session_port() {
  std::random_device rd;
  return 20000 + static_cast<int>(rd() % 30000);
}

struct Machine {
  fs::path dir;
  pid_t pid = -1;
  int status = -1;

  std::string read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
};

class NetRun : public ::testing::Test {
 protected:
  std::deque<Machine> machines;  // references to its machines stay valid as it grows

  void TearDown() override {
    for (Machine& m : machines) {
      if (m.pid > 0) {
        kill(m.pid, SIGKILL);
        waitpid(m.pid, nullptr, 0);
      }
      fs::remove_all(m.dir);
    }
  }

  // A folder with the project (element 0 runs brain, element 1 is a networked camera driven by
  // machine 1), shared globals 10 and 11, "netmode.ini" and the given "network.ini".
  Machine& prepare(const std::string& brain, const std::string& network_ini, const std::string& extra = "") {
    char tmpl[] = "/tmp/korva-net-XXXXXX";
    Machine m;
    m.dir = mkdtemp(tmpl);
    for (const char* sub : {"temp", "brains", "data", "projects"}) fs::create_directories(m.dir / sub);
    std::string p = ";net test\r\n2\r\n" + record("Player", 0, 0) + "\r\n" + record("Ship", 0x01 | 0x400, 1) +
                    "\r\n./bckgrnds/bkgr000_.bmp|1|10(2)\r\n@0\r\n" + brain + "@1\r\n" + extra;
    std::ofstream(m.dir / "projects/t.prj", std::ios::binary) << p;
    std::ofstream(m.dir / "runmode.ini", std::ios::binary) << "projects/t.prj\r\n1\r\n0\r\n0\r\n0\r\n";
    std::ofstream(m.dir / "netmode.ini", std::ios::binary) << "\r\n";
    std::ofstream(m.dir / "network.ini", std::ios::binary) << "[Settings]\r\n" << network_ini;
    machines.push_back(m);
    return machines.back();
  }

  void start(Machine& m, int max_frames, const std::string& input = "") {
    const std::string korva = std::string(KORVA_BINARY_DIR) + "/korva";
    const std::string log = (m.dir / "stderr.txt").string();
    m.pid = fork();
    if (m.pid == 0) {
      if (chdir(m.dir.c_str()) != 0) _exit(100);
      freopen(log.c_str(), "w", stderr);
      setenv("KORVA_HEADLESS", "1", 1);
      unsetenv("KORVA_FAST");
      if (input.empty())
        unsetenv("KORVA_INPUT");
      else
        setenv("KORVA_INPUT", input.c_str(), 1);
      setenv("KORVA_MAX_FRAMES", std::to_string(max_frames).c_str(), 1);
      execl(korva.c_str(), korva.c_str(), static_cast<char*>(nullptr));
      _exit(101);
    }
  }

  // Waits for every machine to end, at most seconds in all.
  void finish(int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (Machine& m : machines) {
      while (m.pid > 0) {
        int st = 0;
        if (waitpid(m.pid, &st, WNOHANG) == m.pid) {
          m.status = st;
          m.pid = -1;
        } else if (std::chrono::steady_clock::now() > until) {
          kill(m.pid, SIGKILL);
          waitpid(m.pid, nullptr, 0);
          m.pid = -1;
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      }
    }
  }
};

std::string host_ini(int port) {
  return "Connection=1\r\nMode=0\r\nPortNumber=" + std::to_string(port) + "\r\nSessionName=Race\r\nPlayerName=Hostess\r\n";
}
std::string join_ini(int port, const std::string& session = "Race", const std::string& name = "Guest") {
  return "Connection=1\r\nMode=1\r\nTimeout=15\r\nIPAddress=127.0.0.1\r\nPortNumber=" + std::to_string(port) +
         "\r\nSessionName=" + session + "\r\nPlayerName=" + name + "\r\n";
}

// One project on both machines (the game id is the project's): the host, machine 1, drives the
// ship and a shared variable and says hello; the joiner waits for all three, saves what it saw,
// says "done", and the host ends when it hears that.
const char* kPlayerBrain =
    "var n\r\nvar t\r\nvar ok\r\nvar role\r\n"
    "n = n + 1\r\n"
    "if n = 1\r\nmax_framerate_set(200)\r\nt = str_create(100)\r\nrole = host()\r\n"
    "if role = -1\r\nmachine_number_set(1)\r\nelse\r\nmachine_number_set(250)\r\nendif\r\nendif\r\n"
    "if role = -1\r\n"
    "position_x_set(element#1, 777000)\r\n"
    "global_set(10, 4242)\r\n"
    "str_send(\"hello from host\", 1)\r\n"
    "str_poll(t, 2)\r\n"
    "if str_comp(t, \"done\", 1) = 0\r\nexit(5)\r\nendif\r\n"
    "else\r\n"
    "global_set(5, machine_number())\r\n"
    "str_poll(t, 1)\r\n"
    "if str_comp(t, \"hello from host\", 1) = 0\r\nglobal_set(1, 1)\r\nendif\r\n"
    "if position_x(element#1) = 777000\r\nglobal_set(2, 1)\r\nendif\r\n"
    "if global(10) = 4242\r\nglobal_set(3, 1)\r\nendif\r\n"
    "global_set(4, machine_status(1))\r\n"
    "global_set(6, machine_status(100))\r\n"
    "global_set(7, host())\r\n"
    "global_set(8, network_mode())\r\n"
    "globals_save(\"temp/progress.dat\", 1, 8)\r\n"
    "ok = global(1) + global(2) + global(3)\r\n"
    // Texts go without guarantees: "done" is said for a while, not once.
    "if ok = 3\r\nif global(9) = 0\r\nglobals_save(\"temp/seen.dat\", 1, 8)\r\nendif\r\n"
    "global_set(9, global(9) + 1)\r\nstr_send(\"done\", 2)\r\nif global(9) = 30\r\nexit(6)\r\nendif\r\nendif\r\n"
    "endif\r\n";

TEST_F(NetRun, TwoMachinesShareTextsElementsAndVariables) {
  const int port = session_port();
  Machine& h = prepare(kPlayerBrain, host_ini(port));
  Machine& j = prepare(kPlayerBrain, join_ini(port));
  start(h, 200 * 40);
  start(j, 200 * 40);
  finish(60);
  const std::string seen = j.read("temp/seen.dat");
  // hello, ship moved, shared variable, machine 1's state count (> 0), own number stored as 100,
  // this machine's status (1: nobody else uses 100), not the host, a session is open.
  ASSERT_FALSE(seen.empty()) << j.read("temp/progress.dat") << j.read("stderr.txt") << h.read("stderr.txt");
  std::vector<long> v;
  for (size_t at = 0; at < seen.size();) {
    const size_t end = seen.find("\r\n", at);
    v.push_back(std::strtol(seen.substr(at, end - at).c_str(), nullptr, 10));
    at = end + 2;
  }
  ASSERT_EQ(v.size(), 8u) << seen;
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 1);
  EXPECT_EQ(v[2], 1);
  EXPECT_GT(v[3], 0);
  EXPECT_EQ(v[4], 100);
  EXPECT_EQ(v[5], 1);
  EXPECT_EQ(v[6], 0);
  EXPECT_EQ(v[7], -1);
  EXPECT_NE(h.read("stderr.txt").find("\"Guest\" has joined"), std::string::npos) << h.read("stderr.txt");
  EXPECT_NE(h.read("stderr.txt").find("exit to sub-project 5"), std::string::npos) << h.read("stderr.txt");
}

// The host chooses LAN and "Host" in the "Network connection" dialog (network.ini names no
// connection it knows, only the port); the joiner finds the session by broadcast.
TEST_F(NetRun, TheConnectionDialogHostsALanSession) {
  const int port = session_port();
  char computer[256] = {};
  gethostname(computer, sizeof computer - 1);
  Machine& h = prepare(kPlayerBrain, "Connection=2\r\nIPAddress=127.0.0.1\r\nPortNumber=" + std::to_string(port) + "\r\n");
  std::ofstream(h.dir / "input.txt") << "5 key F1\n10 key F5\n";
  Machine& j = prepare(kPlayerBrain, "Connection=0\r\nMode=1\r\nTimeout=15\r\nIPAddress=127.0.0.1\r\nPortNumber=" +
                                         std::to_string(port) + "\r\nSessionName=" + computer + "\r\n");
  start(h, 200 * 40, "input.txt");
  start(j, 200 * 40);
  finish(60);
  EXPECT_NE(j.read("temp/seen.dat"), "") << j.read("stderr.txt") << h.read("stderr.txt");
  EXPECT_NE(h.read("stderr.txt").find("exit to sub-project 5"), std::string::npos) << h.read("stderr.txt");
}

TEST_F(NetRun, AnotherProjectRaisesTheMismatch) {
  const int port = session_port();
  const char* host_brain =
      "var n\r\nvar t\r\nn = n + 1\r\n"
      "if n = 1\r\nmax_framerate_set(200)\r\nmachine_number_set(1)\r\nt = str_create(10)\r\nendif\r\n"
      "str_poll(t, -1)\r\nif str_comp(t, \"done\", 1) = 0\r\nexit(5)\r\nendif\r\n";
  const char* join_brain =
      "var n\r\nn = n + 1\r\nif n = 1\r\nmax_framerate_set(200)\r\nmachine_number_set(2)\r\nendif\r\n"
      "if network_mismatch() = -1\r\nif global(2) = 0\r\nglobal_set(1, machine_status(1))\r\n"
      "globals_save(\"temp/seen.dat\", 1, 1)\r\nendif\r\nglobal_set(2, global(2) + 1)\r\n"
      "str_send(\"done\", 1)\r\nif global(2) = 30\r\nexit(6)\r\nendif\r\nendif\r\n";
  Machine& h = prepare(host_brain, host_ini(port), "; another project's brain\r\n");
  Machine& j = prepare(join_brain, join_ini(port));
  start(h, 200 * 30);
  start(j, 200 * 30);
  finish(60);
  // The other project's state was ignored: machine 1 counts no message.
  EXPECT_EQ(j.read("temp/seen.dat"), "0\r\n") << j.read("stderr.txt");
}

TEST_F(NetRun, AJoinerThatFindsNoSessionAsksAndRunsAlone) {
  const int port = session_port();
  Machine& j = prepare("exit(3)\r\n", "Connection=1\r\nMode=1\r\nTimeout=1\r\nIPAddress=127.0.0.1\r\nPortNumber=" +
                                          std::to_string(port) + "\r\n");
  start(j, 100);
  finish(30);
  const std::string err = j.read("stderr.txt");
  EXPECT_NE(err.find("Connection failed!"), std::string::npos) << err;
  EXPECT_NE(err.find("Could not connect, launch anyway?"), std::string::npos) << err;
  EXPECT_NE(err.find("exit to sub-project 3"), std::string::npos) << err;  // ran without network
}

// Three machines; the host leaves, the lowest joiner (B) becomes the host, C reconnects to it,
// and texts flow between them again.
TEST_F(NetRun, WhenTheHostLeavesTheLowestJoinerHostsAndPlayGoesOn) {
  const int port = session_port();
  const char* a_brain =
      "var n\r\nvar t\r\nn = n + 1\r\n"
      "if n = 1\r\nmax_framerate_set(100)\r\nmachine_number_set(1)\r\nt = str_create(100)\r\nendif\r\n"
      "str_poll(t, -1)\r\n"
      "if str_comp(t, \"ready b\", 1) = 0\r\nglobal_set(1, 1)\r\nendif\r\n"
      "if str_comp(t, \"ready c\", 1) = 0\r\nglobal_set(2, 1)\r\nendif\r\n"
      "if global(1) + global(2) = 2\r\nexit(5)\r\nendif\r\n";
  const char* b_brain =
      "var n\r\nvar t\r\nn = n + 1\r\n"
      "if n = 1\r\nmax_framerate_set(100)\r\nmachine_number_set(2)\r\nt = str_create(100)\r\nendif\r\n"
      "str_poll(t, -1)\r\n"
      "if host() = 0\r\nstr_send(\"ready b\", 1)\r\nendif\r\n"
      "if host() = -1\r\nstr_send(\"new host\", 1)\r\nendif\r\n"
      "if str_comp(t, \"after c\", 1) = 0\r\nglobal_set(1, 1)\r\nglobals_save(\"temp/seen.dat\", 1, 1)\r\nendif\r\n"
      "if global(1) = 1\r\nglobal_set(2, global(2) + 1)\r\nstr_send(\"end\", 1)\r\nendif\r\n"
      "if global(2) = 50\r\nexit(6)\r\nendif\r\n";
  const char* c_brain =
      "var n\r\nvar t\r\nn = n + 1\r\n"
      "if n = 1\r\nmax_framerate_set(100)\r\nmachine_number_set(3)\r\nt = str_create(100)\r\nendif\r\n"
      "str_poll(t, -1)\r\n"
      "str_send(\"ready c\", 1)\r\n"
      "if str_comp(t, \"new host\", 1) = 0\r\nglobal_set(1, 1)\r\nendif\r\n"
      "if global(1) = 1\r\nstr_send(\"after c\", 1)\r\nendif\r\n"
      "if str_comp(t, \"end\", 1) = 0\r\nexit(7)\r\nendif\r\n";
  Machine& a = prepare(a_brain, host_ini(port));
  Machine& b = prepare(b_brain, join_ini(port, "Race", "Bee"));
  start(a, 100 * 60);
  start(b, 100 * 60);
  // C joins after B, so that B has the lower id.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (a.read("stderr.txt").find("\"Bee\" has joined") == std::string::npos &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Machine& c = prepare(c_brain, join_ini(port, "Race", "Cee"));
  start(c, 100 * 60);
  finish(90);
  EXPECT_EQ(b.read("temp/seen.dat"), "1\r\n") << "A:\n" << a.read("stderr.txt") << "B:\n" << b.read("stderr.txt")
                                               << "C:\n" << c.read("stderr.txt");
  EXPECT_NE(b.read("stderr.txt").find("You have become the host"), std::string::npos) << b.read("stderr.txt");
  EXPECT_NE(c.read("stderr.txt").find("exit to sub-project 7"), std::string::npos) << c.read("stderr.txt");
}

}  // namespace
