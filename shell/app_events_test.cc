#include "shell/app_events.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace qora {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;

TEST(EventQueueTest, NumbersEventsFromOneAndHandsOutThoseAfterASequenceNumber) {
  EventQueue queue;
  EXPECT_EQ(queue.LastSeq(), 0);
  EXPECT_TRUE(queue.After(0).empty());
  EXPECT_EQ(queue.Push(TitleEvent("a")), 1);
  EXPECT_EQ(queue.Push(TitleEvent("b")), 2);
  EXPECT_EQ(queue.Push(TitleEvent("c")), 3);
  EXPECT_EQ(queue.LastSeq(), 3);

  const std::vector<json> all = queue.After(0);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0], json({{"type", "title"}, {"text", "a"}, {"seq", 1}}));
  EXPECT_EQ(all[2]["text"], "c");

  const std::vector<json> last = queue.After(2);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0]["seq"], 3);
  EXPECT_TRUE(queue.After(3).empty());
  EXPECT_TRUE(queue.After(99).empty());
  EXPECT_EQ(queue.After(-5).size(), 3u);
}

TEST(EventQueueTest, KeepsOnlyTheNewestEventsUpToItsCapacity) {
  EventQueue queue(3);
  for (int i = 0; i < 5; ++i) queue.Push(CompletionEvent(i));
  std::vector<json> kept = queue.After(0);
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0]["seq"], 3);
  EXPECT_EQ(kept[0]["code"], 2);
  EXPECT_EQ(kept[2]["seq"], 5);
  // Asking after a dropped number gives what is kept after it.
  kept = queue.After(3);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0]["seq"], 4);
}

TEST(EventQueueTest, TheDefaultQueueKeepsAThousand) {
  EventQueue queue;
  for (int i = 0; i < 1500; ++i) queue.Push(CompletionEvent(i));
  const std::vector<json> kept = queue.After(0);
  ASSERT_EQ(kept.size(), 1000u);
  EXPECT_EQ(kept.front()["seq"], 501);
  EXPECT_EQ(kept.back()["seq"], 1500);
}

TEST(EventQueueTest, AValueThatIsNotAnObjectIsWrappedNotLost) {
  EventQueue queue;
  queue.Push(json("text"));
  const std::vector<json> events = queue.After(0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["type"], "invalid");
  EXPECT_EQ(events[0]["value"], "text");
  EXPECT_EQ(events[0]["seq"], 1);
}

TEST(EventQueueTest, WaitAfterReturnsAtOnceWhenEventsWaitAndWakesOnAPush) {
  EventQueue queue;
  queue.Push(TitleEvent("ready"));
  EXPECT_EQ(queue.WaitAfter(0, milliseconds(10000)).size(), 1u);
  EXPECT_TRUE(queue.WaitAfter(1, milliseconds(20)).empty());

  std::thread pusher([&queue] {
    std::this_thread::sleep_for(milliseconds(50));
    queue.Push(TitleEvent("late"));
  });
  const std::vector<json> events = queue.WaitAfter(1, milliseconds(10000));
  pusher.join();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["text"], "late");
}

TEST(EventQueueTest, PushesFromSeveralThreadsGetDistinctIncreasingNumbers) {
  EventQueue queue(10000);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&queue] {
      for (int i = 0; i < 500; ++i) queue.Push(CompletionEvent(i));
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::vector<json> events = queue.After(0);
  ASSERT_EQ(events.size(), 2000u);
  for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i]["seq"], i + 1);
}

TEST(EventTextTest, WritesEightBitTextWithoutFailing) {
  EXPECT_EQ(EventText(TitleEvent("Caf\xE9")), "{\"text\":\"Caf\xEF\xBF\xBD\",\"type\":\"title\"}");
  EXPECT_EQ(EventText(json::array({1, "a"})), "[1,\"a\"]");
  EXPECT_THROW(TitleEvent("Caf\xE9").dump(), json::type_error);
}

TEST(EventBuildersTest, EveryKindHasItsFields) {
  EXPECT_EQ(MessageEvent(kWarning, "Unknown request"), json({{"type", "message"},
                                                             {"level", "warning"},
                                                             {"title", "QORA"},
                                                             {"text", "Unknown request"}}));
  EXPECT_EQ(DialogEvent("keywords", "bees"),
            json({{"type", "dialog"}, {"dialog", "keywords"}, {"text", "bees"}}));
  EXPECT_EQ(BusyEvent(true, "Research Libraries"),
            json({{"type", "busy"}, {"busy", true}, {"title", "Research Libraries"}}));
  EXPECT_EQ(CompletionEvent(6), json({{"type", "completion"}, {"code", 6}}));
  EXPECT_EQ(PageEvent("map", "/d/map1.dml"),
            json({{"type", "page"}, {"kind", "map"}, {"dml", "/d/map1.dml"}}));
  EXPECT_EQ(WordBarEvent("a b"), json({{"type", "wordbar"}, {"words", "a b"}}));
  EXPECT_EQ(ScratchEvent("p"), json({{"type", "scratch"}, {"passage", "p"}}));
}

TEST(EventBuildersTest, AListRowCarriesTheRecordAndItsLibrary) {
  DocumentRecord record;
  record.parent_handle = 7;
  record.docid = "abc";
  record.name = "Bees";
  record.rank = 2.5;
  record.size = "1200";
  record.date_cr = "2026-01-02";
  record.type = ".htm";
  record.uri = "http://x/";
  record.bcuri = "file:///data/libs/x/1.htm";
  record.source = "web";
  json row = ListRecord(record, "Corpus");
  EXPECT_EQ(row, json({{"handle", 7},
                       {"docid", "abc"},
                       {"name", "Bees"},
                       {"rank", 2.5},
                       {"size", "1200"},
                       {"date", "2026-01-02"},
                       {"type", ".htm"},
                       {"uri", "http://x/"},
                       {"bcuri", "file:///data/libs/x/1.htm"},
                       {"source", "web"},
                       {"library", "Corpus"}}));
  record.date_ret = "2026-03-04";
  EXPECT_EQ(ListRecord(record, "Corpus")["date"], "2026-03-04");
  // A stored record names its copy by the library's copy folder and the
  // file name in it.
  record.bcuri = "file:///data/libraries/ds1/loc_c/";
  record.curi = "abc.htm";
  EXPECT_EQ(ListRecord(record, "Corpus")["bcuri"], "file:///data/libraries/ds1/loc_c/abc.htm");
  record.curi.clear();
  EXPECT_EQ(ListRecord(record, "Corpus")["bcuri"], "file:///data/libraries/ds1/loc_c/");
  const json list = ListEvent("Corpus", false, json::array({row}));
  EXPECT_EQ(list["type"], "list");
  EXPECT_EQ(list["title"], "Corpus");
  EXPECT_EQ(list["quick"], false);
  ASSERT_EQ(list["records"].size(), 1u);
  EXPECT_TRUE(ListEvent("t", false, json("x"))["records"].is_array());
}

}  // namespace
}  // namespace qora
