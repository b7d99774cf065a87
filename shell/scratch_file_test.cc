#include "shell/scratch_file.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <string>
#include <thread>

#include "shell/app_events.h"
#include "shell/app_server.h"
#include "shell/scratch_routes.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr char kPad[] = "{\\rtf1\\ansi {\\b Tides} turn \\u233?\\par\n}";

TEST(ScratchFileTest, AMissingFileReadsAsAnEmptyPadAndAWrittenOneReadsBack) {
  TempDir dir;
  std::string text = "left over";
  EXPECT_EQ(ReadScratchPad(dir.path(), &text), "");
  EXPECT_EQ(text, "");
  EXPECT_FALSE(fs::exists(dir.path() + kScratchFileName));

  ASSERT_EQ(WriteScratchPad(dir.path(), kPad), "");
  EXPECT_EQ(ReadFile(dir.path() + "scratch.rtf"), kPad);
  // The data folder may be named without its trailing separator.
  const std::string folder = dir.path().substr(0, dir.path().size() - 1);
  EXPECT_EQ(ReadScratchPad(folder, &text), "");
  EXPECT_EQ(text, kPad);
}

TEST(ScratchFileTest, AFailedWriteKeepsTheOldPadWhole) {
  TempDir dir;
  ASSERT_EQ(WriteScratchPad(dir.path(), kPad), "");
  // A folder where the temporary file would go makes the write fail.
  fs::create_directories(dir.path() + "scratch.rtf.partial/in-the-way");
  const std::string failure = WriteScratchPad(dir.path(), "{\\rtf1 new}");
  EXPECT_NE(failure.find("could not be saved"), std::string::npos) << failure;
  EXPECT_EQ(ReadFile(dir.path() + "scratch.rtf"), kPad);

  std::string text;
  fs::create_directories(dir.path() + "other/scratch.rtf");
  EXPECT_NE(ReadScratchPad(dir.path() + "other", &text), "");
  EXPECT_EQ(text, "");
}

TEST(ScratchFileTest, SendToWordRefusesEmptyNamesAndInternetShortcuts) {
  TempDir dir;
  EXPECT_TRUE(ExportPathAccepted(dir.path() + "notes.doc"));
  EXPECT_TRUE(ExportPathAccepted(dir.path() + "notes"));
  EXPECT_TRUE(ExportPathAccepted(dir.path() + "notes.urls"));
  EXPECT_FALSE(ExportPathAccepted(""));
  EXPECT_FALSE(ExportPathAccepted(dir.path()));
  EXPECT_FALSE(ExportPathAccepted(dir.path() + "site.URL"));
  EXPECT_FALSE(ExportPathAccepted(dir.path() + "site.Url"));

  EXPECT_EQ(ExportScratchPad(dir.path() + "site.url", kPad), kChooseFilesMessage);
  EXPECT_FALSE(fs::exists(dir.path() + "site.url"));
  EXPECT_EQ(ExportScratchPad(dir.path() + "notes.doc", kPad), "");
  EXPECT_EQ(ReadFile(dir.path() + "notes.doc"), kPad);
  const std::string failure = ExportScratchPad(dir.path() + "missing/notes.doc", kPad);
  EXPECT_NE(failure.find("could not be written"), std::string::npos) << failure;
}

// The routes on a server of their own, as the front calls them.
TEST(ScratchRoutesTest, SavesReadsBackAndExportsThePad) {
  TempDir dir;
  fs::create_directories(dir.path() + "web");
  fs::create_directories(dir.path() + "data");
  WriteFile(dir.path() + "web/index.html", "<title>front</title>");
  AppServer server(AppServerFolders{dir.path() + "web", dir.path() + "data"});
  EventQueue events;
  std::vector<std::string> opened;
  const std::string data = dir.path() + "data/";
  RegisterScratchRoutes(&server, &events,
                        {[data] { return data; }, [&opened](const std::string& path) { opened.push_back(path); }});
  ASSERT_EQ(server.Bind(0), "");
  std::thread serving([&server] { server.Run(); });
  httplib::Client client("127.0.0.1", server.port());
  const httplib::Headers own = {{"Sec-Fetch-Site", "same-origin"}};
  const auto post = [&](const std::string& path, const nlohmann::json& body) {
    return client.Post(path, own, body.dump(), "application/json");
  };

  auto res = client.Get("/api/scratch");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(nlohmann::json::parse(res->body), nlohmann::json({{"rtf", ""}}));

  res = post("/api/scratch", {{"rtf", kPad}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 204);
  EXPECT_EQ(ReadFile(data + "scratch.rtf"), kPad);
  res = client.Get("/api/scratch");
  ASSERT_TRUE(res);
  EXPECT_EQ(nlohmann::json::parse(res->body)["rtf"], kPad);

  // A malformed save changes nothing.
  res = post("/api/scratch", {{"text", "plain"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400);
  EXPECT_EQ(ReadFile(data + "scratch.rtf"), kPad);

  res = post("/api/scratch/export", {{"path", dir.path() + "Tides.URL"}, {"rtf", kPad}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 204);
  EXPECT_FALSE(fs::exists(dir.path() + "Tides.URL"));
  const std::vector<nlohmann::json> pushed = events.After(0);
  ASSERT_EQ(pushed.size(), 1u);
  EXPECT_EQ(pushed[0]["type"], "message");
  EXPECT_EQ(pushed[0]["level"], "warning");
  EXPECT_EQ(pushed[0]["text"], "Please choose files");
  EXPECT_TRUE(opened.empty());

  res = post("/api/scratch/export", {{"path", "Tides.doc"}, {"rtf", kPad}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400);
  EXPECT_FALSE(fs::exists("Tides.doc"));

  res = post("/api/scratch/export", {{"path", dir.path() + "Tides.doc"}, {"rtf", kPad}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 204);
  EXPECT_EQ(ReadFile(dir.path() + "Tides.doc"), kPad);
  EXPECT_EQ(opened, std::vector<std::string>{dir.path() + "Tides.doc"});
  EXPECT_EQ(events.LastSeq(), 1);

  server.Stop();
  serving.join();
}

}  // namespace
}  // namespace qora
