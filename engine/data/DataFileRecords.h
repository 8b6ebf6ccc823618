#pragma once
// The detail records of a JSON data file, read from the file one at a time instead of decoded
// all at once: a run over a million records then holds a few bytes per record, not the records.
//
// Open makes one pass over the file. It notes where each element of the arrays that may hold
// detail records begins and ends ("DetalleVar" blocks, and the alternative detail keys at the top
// level), picks the records the connector would pick from the decoded file (the first
// "DetalleVar" block that yields a record, each element a hash with a named field; else the hash
// elements of the first alternative key holding an array), and decodes everything else as the
// data. The data keeps the first record in its array, so the variables named after the first
// record's fields are the same as with the whole file. At(i) reads record i's bytes back and
// converts it as the connector does ("BLOCK.FIELD" keys, typed values unwrapped).
//
// A file this reading can't take exactly as the whole-file reading would (missing, malformed, a
// NUL byte, a key repeated on the way to the records) gives nullptr: the caller reads it whole.
// A record whose bytes no longer decode (the file changed under the run) comes back as an empty
// hash and is counted in FailedReads.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/DetailRecordConverter.h"
#include "data/RecentRecords.h"
#include "data/RecordSequence.h"

namespace nv {

class DataFileRecords : public RecordSequence {
 public:
  /// A byte range [begin, end) of the file.
  struct Span {
    uint64_t begin = 0;
    uint64_t end = 0;
  };
  /// An array of the file that may hold detail records, and its elements.
  struct Candidate {
    std::string block;  // "DetalleVar" block name; empty for an alternative key
    std::string key;    // the alternative key; empty for a block
    Span content;       // between "[" and "]"
    std::vector<Span> elements;
    std::vector<bool> named;  // the element is a hash with a field of a non-empty name
    std::vector<bool> hash;   // the element is a hash
  };

  ~DataFileRecords() override;
  DataFileRecords(const DataFileRecords&) = delete;
  DataFileRecords& operator=(const DataFileRecords&) = delete;

  static std::shared_ptr<DataFileRecords> Open(const std::string& path);

  /// The file's data with every record array empty but the chosen one, which keeps its first record.
  const Value& Data() const { return data_; }
  int64_t Count() const override { return static_cast<int64_t>(records_.size()); }
  Value At(int64_t index) override;
  int64_t FailedReads() const { return failedReads_; }

 private:
  DataFileRecords() = default;
  bool Choose(std::vector<Candidate>& candidates);
  bool BuildData(const std::vector<Candidate>& candidates, uint64_t fileSize);
  std::string ReadSpan(const Span& span) const;
  std::string ElementText(const Span& span) const;
  Value Decode(const Span& span);

  int fd_ = -1;
  Value data_;
  std::vector<Span> records_;
  // "DetalleVar" records are converted to "BLOCK.FIELD" keys; ready-made ones are taken as read.
  DetailRecordConverter converter_;
  bool convert_ = false;
  int chosen_ = -1;     // index of the chosen candidate during Open
  RecentRecords recent_;
  int64_t failedReads_ = 0;
};

}  // namespace nv
