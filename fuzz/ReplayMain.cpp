// A plain main for a fuzz target: runs every file of the folders (or the files) named on the
// command line through LLVMFuzzerTestOneInput once, in name order. A target signals a broken
// property by aborting, and the sanitizers of the build report the rest, so the program only
// has to feed the inputs. A folder that does not exist holds no input yet (a target with no
// finding has no regressions folder) and is passed over with a note.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& place) {
  std::vector<std::filesystem::path> inputs;
  if (std::filesystem::is_regular_file(place)) {
    inputs.push_back(place);
    return inputs;
  }
  for (const auto& entry : std::filesystem::directory_iterator(place)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

bool Replay(const std::filesystem::path& input) {
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::cerr << input.string() << ": cannot be read\n";
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (!std::filesystem::exists(argv[i], error)) {
      std::cout << argv[i] << ": no such folder, nothing to replay\n";
      continue;
    }
    for (const auto& input : InputsOf(argv[i])) {
      if (!Replay(input)) return 1;
      ++replayed;
    }
  }
  std::cout << replayed << " inputs replayed\n";
  return 0;
}
