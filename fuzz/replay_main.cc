// Runs a fuzz harness over saved inputs, without libFuzzer: every file named
// on the command line, and every file in the folders named there, is given to
// LLVMFuzzerTestOneInput once. The normal and sanitizer builds run the seed
// corpora, the inputs long runs found and the inputs that once crashed this
// way, so each stays a test.
// Exits 1 when an argument names nothing readable or a folder holds no file:
// a corpus that went missing must not pass as an empty run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadWhole(const std::filesystem::path& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The files `argument` names: itself, or the regular files below it.
std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& argument) {
  std::vector<std::filesystem::path> inputs;
  std::error_code error;
  if (std::filesystem::is_directory(argument, error)) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argument, error)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
  } else if (std::filesystem::is_regular_file(argument, error)) {
    inputs.push_back(argument);
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  size_t run = 0;
  for (int i = 1; i < argc; ++i) {
    const std::vector<std::filesystem::path> inputs = InputsOf(argv[i]);
    if (inputs.empty()) {
      std::fprintf(stderr, "replay: %s holds no input\n", argv[i]);
      return 1;
    }
    for (const auto& path : inputs) {
      std::string bytes;
      if (!ReadWhole(path, &bytes)) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return 1;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++run;
    }
  }
  std::printf("replay: %zu inputs ran\n", run);
  return run > 0 ? 0 : 1;
}
