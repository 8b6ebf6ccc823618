#pragma once
// One execution of a table for one page: the frame and the header, the record loop that opens and
// closes groups, places detail blocks, accumulates and decides where the page ends, then the
// fixed separators and the footer. A table never spans pages by itself: the loop stops at the
// first record that does not fit, leaves it unconsumed, and a host runs the table again from
// there, the continuation of a cut detail block kept in the context.
//
// Every run makes progress: a record that starts at the top of the body is placed (a detail block
// that can be cut is cut) even when a block of it does not fit, with a warning. A record that
// stops the loop after part of it was drawn is rolled back (render objects, position, group state
// and accumulators), unless its detail lines were placed, in which case the continuation says so
// and the next run draws only what is left.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "Value.h"
#include "data/RecordSequence.h"

namespace nv {

class TTable;
class TContextoEjecucion;

class TableRecordLoop {
 public:
  TableRecordLoop(TTable& table, const Value& context);
  /// The table's render objects for this page, or nil when it is not visible or a progress
  /// callback cancelled the run.
  Value Run();

 private:
  enum class Step { Next, Stop, Cancel };
  /// What the record changed before a stop may have to undo it.
  struct Snapshot {
    size_t resultSize = 0;
    Value y;
    Value accumulators;  // nil until the record first changes an accumulator
    bool groupOpen = false;
    bool repeated = false;
    Value firstDetailY;
  };
  struct GroupFacts {
    Value previous, next;
    std::string signature, previousSignature, nextSignature;
    bool active = false, eligible = false, nextEligible = false;
  };

  void Setup();
  Step Record(int64_t i);
  void Finish();
  /// The top of a footer of these lines: nTop + the larger of 0 and nHeight - their height.
  Value FooterTop(const Value& footer) const;
  GroupFacts AnalyseGroup(int64_t i, const Value& record);
  /// Signature and emptiness of the record at global index g, computed once per record.
  const std::pair<std::string, bool>& Signature(int64_t g, const Value& record);
  /// Stops on record i: undoes what it drew unless its detail lines were placed (then the
  /// continuation records that only its group footer is left).
  Step StopRecord(int64_t i, int64_t placedLines);
  /// Draws the leading lines of record i's detail that fit and stores where the rest starts.
  Step CutDetail(int64_t i, const Value& fitting, int64_t offset);
  void KeepAccumulators();
  void Rollback();
  bool Fits(double bottom) const;
  bool AtBodyStart() const;
  double Y() const;
  void Warn(const std::string& text);
  Value Render(std::string_view sectionKey, const Value& entries, const Value& recordIndex);
  Value Partition(std::string_view sectionKey, const Value& recordIndex);
  Value Visible(std::string_view sectionKey, const Value& recordIndex);

  TTable& table_;
  Value context_;
  TContextoEjecucion* ctx_;
  double startMs_ = 0;

  Value frame_;
  Value result_ = Value::NewArray();
  Value z_;
  Value sections_;
  Value y_;
  Value bodyStartValue_;
  double bodyStart_ = 0;
  double limit_ = 0;
  bool content_ = false;
  std::shared_ptr<RecordSequence> records_;
  int64_t count_ = 0;
  int64_t first_ = 0;
  int64_t end_ = 0;
  Value breakExpression_;
  Value groupExpressions_;
  bool designer_ = false;
  bool grouping_ = false;
  bool skipEmpty_ = false;
  bool footerOnEmpty_ = false;
  bool progress_ = false;

  bool groupOpen_ = false;
  bool repeated_ = false;
  Value firstDetailY_;
  Snapshot snapshot_;
  /// The record being processed started at the top of the body: it is placed whatever its size.
  bool forced_ = false;
  /// Signatures of the last three records seen, by global index.
  struct Memo {
    int64_t global = -1;
    std::pair<std::string, bool> value;
  };
  std::array<Memo, 3> memo_{};
  size_t memoNext_ = 0;
};

}  // namespace nv
