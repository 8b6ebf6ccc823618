#include "objects/table/AdjacentBorderIndex.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "Accessors.h"
#include "Hash.h"
#include "objects/table/TableMath.h"

namespace nv {

namespace {

const Value* Find(const Hash& h, std::string_view key) { return h.Find(key); }

}  // namespace

// Kept one short of the int64 limits, so that the neighbouring cells a lookup visits exist too.
int64_t AdjacentBorderIndex::Cell(double v) {
  return std::clamp<int64_t>(TruncateToInt64(std::floor(v / kTolerance)), INT64_MIN + 1, INT64_MAX - 1);
}

uint64_t AdjacentBorderIndex::Key(int64_t xCell, int64_t widthCell) {
  return (static_cast<uint64_t>(xCell) * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(widthCell);
}

void AdjacentBorderIndex::Clear() {
  list_.reset();
  indexed_ = 0;
  cells_.clear();
}

void AdjacentBorderIndex::IndexUpTo(const ArrayPtr& held) {
  // A different list, or one that lost elements, is indexed afresh.
  if (list_ != held || indexed_ > held->size()) {
    Clear();
    list_ = held;
  }
  const Array& list = *held;
  for (; indexed_ < list.size(); ++indexed_) {
    const HashPtr* hash = list[indexed_].HashRef();
    if (hash == nullptr) continue;
    const Hash& h = **hash;
    const Value* tipo = Find(h, "tipo");
    const Value* bottom = Find(h, "bordeInferior");
    if (tipo == nullptr || !tipo->IsString() || tipo->AsString() != "rectangulo") continue;
    if (bottom == nullptr || !bottom->IsTrue()) continue;
    const Value* x = Find(h, "x");
    const Value* y = Find(h, "y");
    const Value* w = Find(h, "ancho");
    const Value* a = Find(h, "alto");
    Entry entry{indexed_, x ? TableMath::D(*x) : 0.0, w ? TableMath::D(*w) : 0.0, 0.0};
    entry.bottom = (y ? TableMath::D(*y) : 0.0) + (a ? TableMath::D(*a) : 0.0);
    if (!std::isfinite(entry.x) || !std::isfinite(entry.width)) continue;
    cells_[Key(Cell(entry.x), Cell(entry.width))].push_back(entry);
  }
}

bool AdjacentBorderIndex::BottomBorderEndsAt(const Value& list, double x, double y, double width) {
  const ArrayPtr* held = list.ArrayRef();
  if (held == nullptr || !std::isfinite(x) || !std::isfinite(width)) return false;
  IndexUpTo(*held);
  // A match lies in the cell of (x, width) or in a neighbouring one; the latest match of all
  // the neighbours is the one a backward walk would meet first.
  const Entry* latest = nullptr;
  const int64_t xc = Cell(x);
  const int64_t wc = Cell(width);
  for (int64_t dx = -1; dx <= 1; ++dx) {
    for (int64_t dw = -1; dw <= 1; ++dw) {
      auto found = cells_.find(Key(xc + dx, wc + dw));
      if (found == cells_.end()) continue;
      const std::vector<Entry>& entries = found->second;
      for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (latest != nullptr && it->position < latest->position) break;
        if (std::fabs(it->x - x) <= kTolerance && std::fabs(it->width - width) <= kTolerance) {
          latest = &*it;
          break;
        }
      }
    }
  }
  return latest != nullptr && std::fabs(latest->bottom - y) <= kTolerance;
}

}  // namespace nv
