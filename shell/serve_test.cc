// `qora serve` as the user starts it: a process of its own, its settings
// and lock in folders of the test's, spoken to over HTTP.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"

extern char** environ;

namespace qora {
namespace {

namespace fs = std::filesystem;

class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"config", "run", "home", "web"}) {
      fs::create_directories(dir_.path() + folder);
    }
    test::WriteFile(dir_.path() + "web/index.html", "<title>main</title>");
    test::WriteFile(dir_.path() + "web/first.html", "<title>first</title>");
  }
  void TearDown() override {
    for (pid_t pid : running_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  // Starts `qora serve --no-browser --port PORT` with the test's folders;
  // `extra` are more arguments put before "serve".
  pid_t Start(int port, const std::vector<std::string>& extra = {}, std::string* output = nullptr) {
    std::vector<std::string> words = {QORA_PROGRAM};
    words.insert(words.end(), extra.begin(), extra.end());
    for (const char* word : {"serve", "--no-browser", "--port"}) words.push_back(word);
    words.push_back(std::to_string(port));
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = {
        "XDG_CONFIG_HOME=" + dir_.path() + "config", "XDG_RUNTIME_DIR=" + dir_.path() + "run",
        "HOME=" + dir_.path() + "home", "QORA_WEB=" + dir_.path() + "web",
        "QORA_INSTALLED_DATA=" + test::SourceDataFolder(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir_.path() + "log" + std::to_string(running_.size()) + ".txt";
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    running_.push_back(pid);
    if (output != nullptr) *output = log;
    return pid;
  }

  // Waits (at most 20 s) until the server on `port` answers.
  bool Up(int port) {
    httplib::Client client("127.0.0.1", port);
    for (int i = 0; i < 200; ++i) {
      if (auto res = client.Get("/api/start")) return res->status == 200;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  // The exit status of `pid` after SIGTERM, or -1 when it did not end.
  int Terminate(pid_t pid) {
    ::kill(pid, SIGTERM);
    return Wait(pid);
  }
  int Wait(pid_t pid) {
    for (int i = 0; i < 300; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        running_.erase(std::find(running_.begin(), running_.end(), pid));
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
  }

  std::string Settings() { return test::ReadFile(dir_.path() + "config/qora/settings.ini"); }

  test::TempDir dir_;
  std::vector<pid_t> running_;
};

TEST_F(ServeTest, FirstStartMakesTheDataFolderAndShutdownSavesTheSettings) {
  const int port = test::FreePort();
  std::string log;
  const pid_t server = Start(port, {}, &log);
  ASSERT_TRUE(Up(port));
  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->body, "<title>first</title>");
  res = client.Get("/api/start");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_NE(res->body.find("\"state\":\"first-start\""), std::string::npos) << res->body;
  EXPECT_NE(res->body.find("called qoralibs/"), std::string::npos) << res->body;

  // A second start leaves the first alone and says where it is.
  std::string second_log;
  const pid_t second = Start(test::FreePort(), {}, &second_log);
  EXPECT_EQ(Wait(second), 1);
  EXPECT_NE(test::ReadFile(second_log).find("Application already running! It is at http://127.0.0.1:" +
                                            std::to_string(port)),
            std::string::npos);

  const httplib::Headers own = {{"Sec-Fetch-Site", "same-origin"}};
  res = client.Post("/api/firststart", own, "{\"folder\": \"" + dir_.path() + "home/\"}",
                    "application/json");
  ASSERT_TRUE(res) << httplib::to_string(res.error()) << "\n" << test::ReadFile(log);
  ASSERT_EQ(res->status, 200) << res->body;
  EXPECT_TRUE(fs::exists(dir_.path() + "home/qoralibs/main.ini"));
  EXPECT_EQ(client.Get("/")->body, "<title>main</title>");

  EXPECT_EQ(Terminate(server), 0);
  const std::string settings = Settings();
  EXPECT_NE(settings.find("rootFolder=" + dir_.path() + "home/qoralibs/\n"), std::string::npos)
      << settings;
  EXPECT_NE(settings.find("gracefullyTerminated=1"), std::string::npos) << settings;
  EXPECT_NE(settings.find("commandURL=http://127.0.0.1:" + std::to_string(port) + "/localservlets/"),
            std::string::npos)
      << settings;
}

TEST_F(ServeTest, ARefusedFirstStartEndsTheProgramAndStoresNothing) {
  const int port = test::FreePort();
  const pid_t server = Start(port);
  ASSERT_TRUE(Up(port));
  httplib::Client client("127.0.0.1", port);
  auto res = client.Post("/api/firststart", {{"Sec-Fetch-Site", "same-origin"}},
                         R"({"folder": "  "})", "application/json");
  EXPECT_EQ(res->status, 400);
  EXPECT_NE(res->body.find("You must allow QORA to create a user library in order to proceed"),
            std::string::npos);
  EXPECT_EQ(Wait(server), 1);
  EXPECT_FALSE(fs::exists(dir_.path() + "config/qora/settings.ini"));
}

TEST_F(ServeTest, AnEndWithoutShutdownLeadsToTheRepairQuestion) {
  fs::create_directories(dir_.path() + "config/qora");
  const std::string data = dir_.path() + "data";
  fs::copy(test::SourceDataFolder(), data, fs::copy_options::recursive);
  test::WriteFile(dir_.path() + "config/qora/settings.ini",
                  "[Main]\nrootFolder=" + data + "/\n[Settings]\ngracefullyTerminated=0\n");
  const int port = test::FreePort();
  const pid_t server = Start(port);
  ASSERT_TRUE(Up(port));
  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/api/start");
  EXPECT_NE(res->body.find("did not close gracefully. Your libraries need to be repaired."),
            std::string::npos)
      << res->body;
  EXPECT_EQ(Terminate(server), 0);
}

}  // namespace
}  // namespace qora
