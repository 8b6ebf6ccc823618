#include "data/DataFileRecords.h"

#include <fcntl.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>

#include "Json.h"
#include "data/TConectorDatos.h"

namespace nv {

namespace {

// Follows the parse of the data file and records the candidate arrays and their elements.
class CandidateScanner : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, CandidateScanner> {
 public:
  explicit CandidateScanner(const rapidjson::FileReadStream& stream, uint64_t base) : stream_(stream), base_(base) {}

  std::vector<DataFileRecords::Candidate> candidates;
  /// A key repeated where it would change which records the decoded file holds.
  bool ambiguous = false;

  bool StartObject() {
    BeginValue(true);
    frames_.push_back({true, {}, -1});
    return true;
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    Frame& top = frames_.back();
    top.key.assign(text, length);
    if (Depth() == 1 || InDetalleVar()) {
      if (!top.seen.insert(top.key).second && Matters(top.key)) ambiguous = true;
    }
    // An element of a candidate array is a hash with a named field.
    if (length > 0 && frames_.size() >= 2 && frames_[frames_.size() - 2].candidate >= 0) {
      candidates[static_cast<size_t>(frames_[frames_.size() - 2].candidate)].named.back() = true;
    }
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    frames_.pop_back();
    EndValue(Tell() + 1);
    return true;
  }
  bool StartArray() {
    const int candidate = CandidateHere();
    BeginValue(false);
    frames_.push_back({false, {}, candidate});
    if (candidate >= 0) {
      candidates[static_cast<size_t>(candidate)].content.begin = Tell() + 1;
      lastEnd_ = Tell() + 1;
    }
    return true;
  }
  bool EndArray(rapidjson::SizeType) {
    const int candidate = frames_.back().candidate;
    if (candidate >= 0) candidates[static_cast<size_t>(candidate)].content.end = Tell();
    frames_.pop_back();
    EndValue(Tell() + 1);
    return true;
  }
  bool Default() {
    BeginValue(false);
    EndValue(Tell());
    return true;
  }

 private:
  struct Frame {
    bool object;
    std::string key;
    int candidate;  // index in candidates when this array is one
    std::set<std::string> seen = {};
  };

  size_t Depth() const { return frames_.size(); }
  // The parse (iterative) calls the handler with a bracket not yet taken, so there Tell() is the
  // bracket's own offset; a scalar is reported once taken, so there it is the offset after it.
  uint64_t Tell() const { return base_ + stream_.Tell(); }
  bool InDetalleVar() const {
    return Depth() == 2 && frames_[0].object && frames_[0].key == "DetalleVar" && frames_[1].object;
  }
  static bool IsAlternativeKey(const std::string& key) {
    for (std::string_view alternative : TConectorDatos::ClavesDetalleAlternativas()) {
      if (key == alternative) return true;
    }
    return false;
  }
  bool Matters(const std::string& key) const {
    return Depth() == 2 || key == "DetalleVar" || IsAlternativeKey(key);
  }
  int CandidateHere() {
    DataFileRecords::Candidate found;
    if (InDetalleVar()) {
      found.block = frames_[1].key;
    } else if (Depth() == 1 && frames_[0].object && IsAlternativeKey(frames_[0].key)) {
      found.key = frames_[0].key;
    } else {
      return -1;
    }
    candidates.push_back(std::move(found));
    return static_cast<int>(candidates.size()) - 1;
  }
  // A value starts: when it is an element of a candidate array, note whether it is a hash.
  void BeginValue(bool isHash) {
    if (frames_.empty() || frames_.back().candidate < 0) return;
    DataFileRecords::Candidate& c = candidates[static_cast<size_t>(frames_.back().candidate)];
    c.elements.push_back({lastEnd_, lastEnd_});
    c.named.push_back(false);
    c.hash.push_back(isHash);
  }
  // A value ended at end: when it is an element of a candidate array, its bytes end there.
  void EndValue(uint64_t end) {
    if (frames_.empty() || frames_.back().candidate < 0) return;
    DataFileRecords::Candidate& c = candidates[static_cast<size_t>(frames_.back().candidate)];
    c.elements.back().end = end;
    lastEnd_ = end;
  }

  const rapidjson::FileReadStream& stream_;
  uint64_t base_;
  std::vector<Frame> frames_;
  uint64_t lastEnd_ = 0;
};

}  // namespace

DataFileRecords::~DataFileRecords() {
  if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<DataFileRecords> DataFileRecords::Open(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  char bom[3] = {};
  uint64_t base = std::fread(bom, 1, 3, file) == 3 && std::string_view(bom, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  std::fseek(file, static_cast<long>(base), SEEK_SET);
  char buffer[65536];
  rapidjson::FileReadStream stream(file, buffer, sizeof buffer);
  CandidateScanner scanner(stream, base);
  rapidjson::Reader reader;
  constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag;
  // The whole-file reading refuses any NUL byte. The parse takes one for the end of the text: in a
  // string or before the document ends that is an error, after it the parse stops short of the
  // file's end.
  const bool parsed = !reader.Parse<kFlags>(stream, scanner).IsError() &&
                      base + stream.Tell() == static_cast<uint64_t>(info.st_size);
  std::fclose(file);
  if (!parsed || scanner.ambiguous) return nullptr;

  std::shared_ptr<DataFileRecords> records(new DataFileRecords());
  records->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (records->fd_ < 0) return nullptr;
  if (!records->Choose(scanner.candidates) ||
      !records->BuildData(scanner.candidates, static_cast<uint64_t>(info.st_size))) {
    return nullptr;
  }
  return records;
}

bool DataFileRecords::Choose(std::vector<Candidate>& candidates) {
  // The first "DetalleVar" block, in file order, with an element that is a hash with a named field.
  for (size_t i = 0; i < candidates.size(); ++i) {
    Candidate& c = candidates[i];
    if (c.block.empty()) continue;
    // The records are kept in place, so a million of them are never held twice.
    size_t kept = 0;
    for (size_t e = 0; e < c.elements.size(); ++e) {
      if (c.hash[e] && c.named[e]) c.elements[kept++] = c.elements[e];
    }
    if (kept > 0) {
      c.elements.resize(kept);
      c.elements.shrink_to_fit();
      records_ = std::move(c.elements);
      chosen_ = static_cast<int>(i);
      converter_ = DetailRecordConverter(c.block + ".");
      convert_ = true;
      return true;
    }
  }
  // Else the hashes of the first alternative key, in the connector's order, that holds an array.
  for (std::string_view key : TConectorDatos::ClavesDetalleAlternativas()) {
    for (size_t i = 0; i < candidates.size(); ++i) {
      Candidate& c = candidates[i];
      if (c.key != key) continue;
      size_t kept = 0;
      for (size_t e = 0; e < c.elements.size(); ++e) {
        if (c.hash[e]) c.elements[kept++] = c.elements[e];
      }
      c.elements.resize(kept);
      records_ = std::move(c.elements);
      chosen_ = static_cast<int>(i);
      return true;
    }
  }
  return true;
}

bool DataFileRecords::BuildData(const std::vector<Candidate>& candidates, uint64_t fileSize) {
  // The file's text with every candidate array emptied, the chosen one keeping its first record.
  std::string text;
  uint64_t from = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const Span& content = candidates[i].content;
    text += ReadSpan({from, content.begin});
    if (static_cast<int>(i) == chosen_ && !records_.empty()) {
      text += ElementText(records_.front());
    }
    from = content.end;
  }
  text += ReadSpan({from, fileSize});
  bool ok = false;
  data_ = DecodeJson(text, ok);
  return ok && data_.IsHash();
}

std::string DataFileRecords::ReadSpan(const Span& span) const {
  std::string bytes;
  if (span.end <= span.begin) return bytes;
  bytes.resize(span.end - span.begin);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(span.begin + done));
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

std::string DataFileRecords::ElementText(const Span& span) const {
  std::string bytes = ReadSpan(span);
  // An element's span starts where the one before it ended, so it may begin with their separator.
  bytes.erase(0, std::min(bytes.size(), bytes.find_first_not_of(" \t\r\n,")));
  return bytes;
}

Value DataFileRecords::At(int64_t index) {
  if (index < 0 || index >= Count()) return Value::NewHash();
  if (const Value* kept = recent_.Find(index)) return *kept;
  Value record = Decode(records_[static_cast<size_t>(index)]);
  recent_.Keep(index, record);
  return record;
}

Value DataFileRecords::Decode(const Span& span) {
  bool ok = false;
  Value element = DecodeJson(ElementText(span), ok);
  Value record;
  if (ok && element.IsHash()) {
    if (!convert_) return element;
    if (converter_.Convert(element, record)) return record;
  }
  ++failedReads_;
  return Value::NewHash();
}

}  // namespace nv
