#pragma once
// The problems an export meets in its input, each with a stable code, the page and the object it
// concerns and a message in the engine's words. A code repeated on the same object is counted
// rather than stored again, so a warning on every label of a long run costs one record.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nv::out {

struct ExportWarning {
  int64_t page = 0;
  std::string id;
  std::string code;
  std::string message;
  bool contentLost = false;
  /// How many times this code was met on objects of this id.
  int64_t count = 1;
};

class ExportWarnings {
 public:
  /// Records code for object id on page (1-based; 0 for the document); detail, when given, is
  /// appended to the message.
  void Add(int64_t page, std::string_view id, std::string_view code, std::string_view detail = {});
  /// While muted, Add records nothing (a PNG page is drawn once per band; its warnings count once).
  void SetMuted(bool muted) { muted_ = muted; }
  const std::vector<ExportWarning>& All() const { return warnings_; }
  /// True when a recorded warning means that part of the content was not drawn.
  bool ContentLost() const;
  /// True for the codes that mean lost content ("text-clipped", "glyph-missing", "image-missing",
  /// "barcode-error", "unknown-kind", and "bad-box" and "bad-object", whose object is skipped).
  static bool IsContentLost(std::string_view code);
  /// The message of a code, in Spanish, without its place.
  static std::string_view Describe(std::string_view code);

 private:
  std::vector<ExportWarning> warnings_;
  std::map<std::pair<std::string, std::string>, size_t> index_;
  bool muted_ = false;
};

}  // namespace nv::out
