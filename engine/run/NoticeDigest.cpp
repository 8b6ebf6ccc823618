#include "run/NoticeDigest.h"

#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

/// The discard record without its count: the text two discards of the same object and reason share.
std::string DiscardKey(const Value& record) {
  if (!record.IsHash()) return LiteralText(record);
  Value plain(std::make_shared<Hash>(record.AsHash()));
  plain.Remove("nVeces");
  return LiteralText(plain);
}

}  // namespace

void NoticeDigest::Watch(TContextoEjecucion* ctx) {
  if (ctx != ctx_) {
    warnings_ = Tally{};
    discards_ = Tally{};
    ctx_ = ctx;
  }
  if (ctx_ == nullptr) return;
  for (auto [list, tally] : {std::pair{&ctx_->aAvisos, &warnings_}, std::pair{&ctx_->aDescartados, &discards_}}) {
    const ArrayPtr* items = list->ArrayRef();
    const void* identity = items != nullptr ? items->get() : nullptr;
    const size_t size = items != nullptr ? (*items)->size() : 0;
    // A context that was created again, or whose lists were replaced or emptied, starts afresh.
    if (identity != tally->list || size < tally->mark) *tally = Tally{identity, size, {}};
    tally->mark = size;
  }
}

void NoticeDigest::Collapse() {
  if (ctx_ == nullptr) return;
  Fold(ctx_->aAvisos, warnings_, true);
  Fold(ctx_->aDescartados, discards_, false);
}

void NoticeDigest::Fold(const Value& list, Tally& tally, bool warnings) {
  const ArrayPtr* items = list.ArrayRef();
  if (items == nullptr || items->get() != tally.list) return;
  Array& all = **items;
  if (tally.mark > all.size()) tally.mark = all.size();
  std::vector<std::string> grown;
  size_t kept = tally.mark;
  for (size_t p = tally.mark; p < all.size(); ++p) {
    std::string key = warnings ? ValueString(all[p]) : DiscardKey(all[p]);
    auto found = tally.seen.find(key);
    if (found != tally.seen.end() && found->second.position < kept) {
      ++found->second.count;
      grown.push_back(std::move(key));
      continue;
    }
    tally.seen[key] = Seen{kept, 1};
    if (kept != p) all[kept] = std::move(all[p]);
    ++kept;
  }
  all.resize(kept);
  tally.mark = kept;
  for (const std::string& key : grown) {
    const Seen& seen = tally.seen[key];
    if (seen.position >= all.size()) continue;
    Value& entry = all[seen.position];
    if (warnings) {
      entry = Value(key + " (" + std::to_string(seen.count) + " veces)");
    } else if (entry.IsHash()) {
      entry.Set("nVeces", Value::Int(seen.count));
    }
  }
}

}  // namespace nv
