// Fake internet search engines served on 127.0.0.1, with the definition and
// control files that point a data folder at them, for the tests of the
// meta-search through the engine and through the shell.
#ifndef QORA_TESTS_FAKE_SEARCH_ENGINES_H_
#define QORA_TESTS_FAKE_SEARCH_ENGINES_H_

#include <memory>
#include <string>
#include <vector>

namespace qora::test {

// One "[engineN]" section of "se.ini": the engine's name, the path of its
// result page on the fake server and the patterns that cut its hits.
struct EngineSection {
  std::string name, path, cue1, cue2, hit, sep1, sep2;
};

// Engine "One" at /one: a list of links after a comment mark. Before the mark
// stands an advertisement in the same form, which must never become a hit.
EngineSection EngineOne();
// Engine "Two" at /two: a different layout with two start marks; a hit
// between them is no hit.
EngineSection EngineTwo();
// Serves a page with hits, but its hit pattern does not compile.
EngineSection BrokenEngine();
// Its page lacks the start mark.
EngineSection NoMarkEngine();
// Engine "Local" at /local, whose hits (/page/a, /page/b, /page/a again) lie
// on the fake server itself, for the searches that fetch their hits.
EngineSection LocalEngine();

// The HTTP server of the fake engines. Besides the result pages above it
// serves /html/ (a page in the layout the installed first engine is written
// for), /page/NAME (a small page on tidal power) and /held (engine One's page
// once the test opens the gate, or after 20 seconds).
class FakeSearchEngines {
 public:
  FakeSearchEngines();
  ~FakeSearchEngines();
  FakeSearchEngines(const FakeSearchEngines&) = delete;
  FakeSearchEngines& operator=(const FakeSearchEngines&) = delete;

  int port() const;
  // "http://127.0.0.1:PORT".
  std::string Site() const;

  // Writes "se.ini" into `data_folder` (ending in "/") with one section per
  // entry of `engines`, each addressing the fake server.
  void WriteDefinitions(const std::string& data_folder,
                        const std::vector<EngineSection>& engines) const;

  // Writes "se_ctrl.ini" into `data_folder`: engines 1 to 5 switched on
  // ("1") or off, asking for 10, 20, 30, 40 and 50 hits.
  static void WriteControl(const std::string& data_folder, const std::vector<std::string>& on);

  // "path?query" of every request served so far, in order.
  std::vector<std::string> SeenRequests() const;

  // Lets the requests waiting at /held go on.
  void OpenGate();

 private:
  struct Server;
  std::unique_ptr<Server> server_;
};

}  // namespace qora::test

#endif  // QORA_TESTS_FAKE_SEARCH_ENGINES_H_
