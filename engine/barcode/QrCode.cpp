#include "barcode/QrCode.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <span>
#include <string>

#include "barcode/ReedSolomon.h"

namespace nv {

namespace {

using QrField = ReedSolomon<0x11D>;

/// Total codewords (data and error correction) of each version.
constexpr std::array<int, 11> TOTAL_CODEWORDS = {0, 26, 44, 70, 100, 134, 172, 196, 242, 292, 346};

constexpr bool TablesAgree() {
  for (int v = 1; v <= QrCode::MAX_VERSION; ++v) {
    const size_t i = static_cast<size_t>(v);
    if (QrCode::DATA_CODEWORDS[i] + QrCode::NUM_ERROR_CORRECTION_BLOCKS[i] * QrCode::ECC_CODEWORDS_PER_BLOCK[i] !=
        TOTAL_CODEWORDS[i]) {
      return false;
    }
    const int countBits = v <= 9 ? 8 : 16;
    const int capacity = (QrCode::DATA_CODEWORDS[i] * 8 - 4 - countBits) / 8;
    if (capacity != QrCode::BYTE_CAPACITY[i]) return false;
  }
  return true;
}
static_assert(TablesAgree(), "QR level L tables disagree with each other");

/// The dark modules of the finder-like windows the penalty looks for, module k at bit k.
constexpr const char* FINDER_WINDOWS[2] = {"00001011101", "10111010000"};

constexpr bool MaskHolds(int mask, int i, int j) {
  switch (mask) {
    case 0: return (i + j) % 2 == 0;
    case 1: return i % 2 == 0;
    case 2: return j % 3 == 0;
    case 3: return (i + j) % 3 == 0;
    case 4: return (i / 2 + j / 3) % 2 == 0;
    case 5: return (i * j) % 2 + (i * j) % 3 == 0;
    case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    default: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
  }
}

using MaskTable = std::array<QrGrid, 8>;

constexpr MaskTable MakeMaskTable() {
  MaskTable table{};
  for (int m = 0; m < 8; ++m) {
    for (int i = 0; i < QrCode::MAX_SIZE; ++i) {
      uint64_t word = 0;
      for (int j = 0; j < QrCode::MAX_SIZE; ++j) {
        if (MaskHolds(m, i, j)) word |= uint64_t{1} << j;
      }
      table[static_cast<size_t>(m)][static_cast<size_t>(i)] = word;
    }
  }
  return table;
}

/// Where each mask pattern holds, row by row, over the largest symbol.
constexpr MaskTable MASK_PATTERNS = MakeMaskTable();

constexpr uint64_t LineMask(int size) { return size >= 64 ? ~uint64_t{0} : ((uint64_t{1} << size) - 1); }

void SetModule(QrGrid& matrix, QrGrid& functionMap, int row, int column, bool dark) {
  const uint64_t bit = uint64_t{1} << column;
  if (dark) {
    matrix[static_cast<size_t>(row)] |= bit;
  } else {
    matrix[static_cast<size_t>(row)] &= ~bit;
  }
  functionMap[static_cast<size_t>(row)] |= bit;
}

/// What every symbol of one version shares: the function patterns, the function map (format
/// areas reserved) and the order in which data modules are filled.
struct VersionPlan {
  int size = 0;
  QrGrid base{};
  QrGrid function{};
  std::vector<uint16_t> dataOrder;  // row * 64 + column, in placement order
  QrField::Generator generator;
};

void DrawFinder(QrGrid& m, QrGrid& f, int size, int centreRow, int centreColumn) {
  for (int dy = -4; dy <= 4; ++dy) {
    for (int dx = -4; dx <= 4; ++dx) {
      const int row = centreRow + dy;
      const int column = centreColumn + dx;
      if (row < 0 || row >= size || column < 0 || column >= size) continue;
      const int distance = std::max(std::abs(dx), std::abs(dy));
      SetModule(m, f, row, column, distance != 2 && distance != 4);
    }
  }
}

VersionPlan BuildPlan(int version) {
  VersionPlan plan;
  const int size = 4 * version + 17;
  plan.size = size;
  QrGrid& m = plan.base;
  QrGrid& f = plan.function;

  for (int i = 0; i < size; ++i) {
    SetModule(m, f, 6, i, i % 2 == 0);
    SetModule(m, f, i, 6, i % 2 == 0);
  }
  DrawFinder(m, f, size, 3, 3);
  DrawFinder(m, f, size, 3, size - 4);
  DrawFinder(m, f, size, size - 4, 3);

  const auto& positions = QrCode::ALIGNMENT_POSITIONS[static_cast<size_t>(version)];
  const int count = version == 1 ? 0 : (version < 7 ? 2 : 3);
  for (int a = 0; a < count; ++a) {
    for (int b = 0; b < count; ++b) {
      // The three corners that hold finder patterns get no alignment pattern.
      if ((a == 0 && b == 0) || (a == 0 && b == count - 1) || (a == count - 1 && b == 0)) continue;
      const int row = positions[static_cast<size_t>(a)];
      const int column = positions[static_cast<size_t>(b)];
      for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
          SetModule(m, f, row + dy, column + dx, std::max(std::abs(dx), std::abs(dy)) != 1);
        }
      }
    }
  }

  vbx_qr_format(m, f, size, 0);

  if (version >= 7) {
    int remainder = version;
    for (int i = 0; i < 12; ++i) remainder = (remainder << 1) ^ ((remainder >> 11) * 0x1F25);
    const int bits = (version << 12) | remainder;
    for (int i = 0; i < 18; ++i) {
      const bool dark = ((bits >> i) & 1) != 0;
      const int a = size - 11 + i % 3;
      const int b = i / 3;
      SetModule(m, f, b, a, dark);
      SetModule(m, f, a, b, dark);
    }
  }

  // Column pairs from the right edge leftwards, alternately upwards and downwards, skipping the
  // vertical timing column.
  for (int right = size - 1; right >= 1; right -= 2) {
    if (right == 6) right = 5;
    const bool upward = ((right + 1) & 2) == 0;
    for (int vert = 0; vert < size; ++vert) {
      const int row = upward ? size - 1 - vert : vert;
      for (int j = 0; j < 2; ++j) {
        const int column = right - j;
        if (!((f[static_cast<size_t>(row)] >> column) & 1U)) {
          plan.dataOrder.push_back(static_cast<uint16_t>(row * 64 + column));
        }
      }
    }
  }
  plan.generator = QrField::MakeGenerator(QrCode::ECC_CODEWORDS_PER_BLOCK[static_cast<size_t>(version)], 0);
  return plan;
}

const VersionPlan& PlanFor(int version) {
  static const std::array<VersionPlan, 11> plans = [] {
    std::array<VersionPlan, 11> all;
    for (int v = 1; v <= QrCode::MAX_VERSION; ++v) all[static_cast<size_t>(v)] = BuildPlan(v);
    return all;
  }();
  return plans[static_cast<size_t>(version)];
}

int LinePenalty(uint64_t w, int size) {
  const uint64_t full = LineMask(size);
  int penalty = 0;
  // Runs: e marks positions equal to their right neighbour; f marks the starts of 5 equal.
  const uint64_t e = ~(w ^ (w >> 1)) & (full >> 1);
  const uint64_t f = e & (e >> 1) & (e >> 2) & (e >> 3);
  const uint64_t starts = f & ~(e << 1);
  penalty += std::popcount(f) + 2 * std::popcount(starts);
  // Finder-like windows of 11 modules, tested at every start position at once.
  if (size >= 11) {
    for (const char* window : FINDER_WINDOWS) {
      uint64_t match = LineMask(size - 10);
      for (int k = 0; k < 11; ++k) {
        const uint64_t shifted = w >> k;
        match &= window[k] == '1' ? shifted : ~shifted;
      }
      penalty += 40 * std::popcount(match);
    }
  }
  return penalty;
}

int GridPenalty(const QrGrid& rows, int size) {
  const uint64_t full = LineMask(size);
  QrGrid columns{};
  int penalty = 0;
  int64_t dark = 0;
  for (int i = 0; i < size; ++i) {
    const uint64_t row = rows[static_cast<size_t>(i)] & full;
    dark += std::popcount(row);
    penalty += LinePenalty(row, size);
    for (uint64_t bits = row; bits != 0; bits &= bits - 1) {
      columns[static_cast<size_t>(std::countr_zero(bits))] |= uint64_t{1} << i;
    }
    if (i + 1 < size) {
      const uint64_t next = rows[static_cast<size_t>(i + 1)] & full;
      const uint64_t vertical = ~(row ^ next);
      const uint64_t horizontal = ~(row ^ (row >> 1));
      penalty += 3 * std::popcount(vertical & (vertical >> 1) & horizontal & (full >> 1));
    }
  }
  for (int j = 0; j < size; ++j) penalty += LinePenalty(columns[static_cast<size_t>(j)], size);
  const int64_t total = int64_t{size} * size;
  if (total > 0) penalty += static_cast<int>(10 * (std::llabs(20 * dark - 10 * total) / total));
  return penalty;
}

}  // namespace

void vbx_qr_format(QrGrid& matrix, QrGrid& functionMap, int size, int mask) {
  if (size < 21 || size > QrCode::MAX_SIZE) return;
  const int data = (1 << 3) | (mask & 7);  // level L indicator 01, then the mask number
  int remainder = data;
  for (int i = 0; i < 10; ++i) remainder = (remainder << 1) ^ ((remainder >> 9) * 0x537);
  const int bits = ((data << 10) | remainder) ^ 0x5412;
  auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };

  // First copy, around the top-left finder.
  for (int i = 0; i <= 5; ++i) SetModule(matrix, functionMap, i, 8, bit(i));
  SetModule(matrix, functionMap, 7, 8, bit(6));
  SetModule(matrix, functionMap, 8, 8, bit(7));
  SetModule(matrix, functionMap, 8, 7, bit(8));
  for (int i = 9; i < 15; ++i) SetModule(matrix, functionMap, 8, 14 - i, bit(i));
  // Second copy, split between the top-right and bottom-left finders.
  for (int i = 0; i < 8; ++i) SetModule(matrix, functionMap, 8, size - 1 - i, bit(i));
  for (int i = 8; i < 15; ++i) SetModule(matrix, functionMap, size - 15 + i, 8, bit(i));
  SetModule(matrix, functionMap, size - 8, 8, true);
}

void vbx_qr_mask(QrGrid& matrix, const QrGrid& functionMap, int size, int mask) {
  if (size < 0 || size > QrCode::MAX_SIZE) return;
  const QrGrid& pattern = MASK_PATTERNS[static_cast<size_t>(mask & 7)];
  const uint64_t full = LineMask(size);
  for (size_t i = 0; i < static_cast<size_t>(size); ++i) matrix[i] ^= pattern[i] & ~functionMap[i] & full;
}

int QrCode::VersionFor(size_t length) {
  for (int v = MIN_VERSION; v <= MAX_VERSION; ++v) {
    if (length <= static_cast<size_t>(BYTE_CAPACITY[static_cast<size_t>(v)])) return v;
  }
  return 0;
}

std::vector<uint8_t> QrCode::DataCodewords(std::string_view bytes, int version) {
  if (version < MIN_VERSION || version > MAX_VERSION) return {};
  const size_t capacity = static_cast<size_t>(DATA_CODEWORDS[static_cast<size_t>(version)]);
  const int countBits = version <= 9 ? 8 : 16;
  const size_t capacityBits = capacity * 8;
  if (bytes.size() * 8 + 4 + static_cast<size_t>(countBits) > capacityBits) return {};

  std::vector<uint8_t> out(capacity, 0);
  size_t used = 0;
  auto put = [&](uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i, ++used) {
      if ((value >> i) & 1U) out[used >> 3] |= static_cast<uint8_t>(0x80U >> (used & 7));
    }
  };
  put(0x4, 4);
  put(static_cast<uint32_t>(bytes.size()), countBits);
  for (unsigned char c : bytes) put(c, 8);
  // The terminator and the bits up to the byte boundary are zero bits already in place.
  used = std::min(capacityBits, used + 4);
  size_t index = (used + 7) / 8;
  for (uint8_t pad = 0xEC; index < capacity; ++index, pad ^= 0xEC ^ 0x11) out[index] = pad;
  return out;
}

int QrCode::Penalty(const ModuleMatrix& matrix) {
  QrGrid rows{};
  const int size = matrix.Size() > MAX_SIZE ? MAX_SIZE : matrix.Size();
  for (int i = 0; i < size; ++i) rows[static_cast<size_t>(i)] = matrix.RowBits(i);
  return GridPenalty(rows, size);
}

QrCode QrCode::Encode(std::string_view bytes, int forcedMask) {
  QrCode symbol;
  const int version = VersionFor(bytes.size());
  if (version == 0) return symbol;
  const VersionPlan& plan = PlanFor(version);
  const size_t v = static_cast<size_t>(version);
  const int size = plan.size;

  // Split the data into blocks, compute each block's error correction and interleave.
  const std::vector<uint8_t> data = DataCodewords(bytes, version);
  const int blocks = NUM_ERROR_CORRECTION_BLOCKS[v];
  const int ecc = ECC_CODEWORDS_PER_BLOCK[v];
  const int shortBlocks = blocks - TOTAL_CODEWORDS[v] % blocks;
  const int shortData = TOTAL_CODEWORDS[v] / blocks - ecc;
  std::array<int, 4> blockStart{};
  std::array<int, 4> blockLength{};
  std::array<std::array<uint8_t, QrField::MAX_DEGREE>, 4> blockEcc{};
  for (int b = 0, start = 0; b < blocks; ++b) {
    const size_t bi = static_cast<size_t>(b);
    blockStart[bi] = start;
    blockLength[bi] = shortData + (b >= shortBlocks ? 1 : 0);
    QrField::Remainder(std::span<const uint8_t>(data.data() + start, static_cast<size_t>(blockLength[bi])),
                       plan.generator, blockEcc[bi].data());
    start += blockLength[bi];
  }
  std::array<uint8_t, 346> codewords{};
  size_t count = 0;
  for (int i = 0; i <= shortData; ++i) {
    for (size_t b = 0; b < static_cast<size_t>(blocks); ++b) {
      if (i < blockLength[b]) codewords[count++] = data[static_cast<size_t>(blockStart[b] + i)];
    }
  }
  for (size_t i = 0; i < static_cast<size_t>(ecc); ++i) {
    for (size_t b = 0; b < static_cast<size_t>(blocks); ++b) codewords[count++] = blockEcc[b][i];
  }

  // Place the bits, most significant first; remainder modules stay light.
  QrGrid work = plan.base;
  const size_t bitCount = std::min(plan.dataOrder.size(), count * 8);
  for (size_t i = 0; i < bitCount; ++i) {
    if ((codewords[i >> 3] >> (7 - (i & 7))) & 1U) {
      const uint16_t position = plan.dataOrder[i];
      work[position >> 6] |= uint64_t{1} << (position & 63);
    }
  }

  QrGrid function = plan.function;
  QrGrid best{};
  int bestMask = 0;
  if (forcedMask >= 0 && forcedMask <= 7) {
    vbx_qr_mask(work, function, size, forcedMask);
    vbx_qr_format(work, function, size, forcedMask);
    best = work;
    bestMask = forcedMask;
  } else {
    int bestPenalty = INT_MAX;
    for (int mask = 0; mask < 8; ++mask) {
      vbx_qr_mask(work, function, size, mask);
      vbx_qr_format(work, function, size, mask);
      const int penalty = GridPenalty(work, size);
      if (penalty < bestPenalty) {
        bestPenalty = penalty;
        best = work;
        bestMask = mask;
      }
      vbx_qr_mask(work, function, size, mask);
    }
  }

  symbol.version_ = version;
  symbol.mask_ = bestMask;
  symbol.matrix_ = ModuleMatrix(size, std::vector<uint64_t>(best.begin(), best.begin() + size));
  return symbol;
}

Value VBXQRMATRIX(const Value& text) {
  static const std::string empty;
  const std::string& bytes = text.IsString() ? text.AsString() : empty;
  return QrCode::Encode(bytes).Matrix().ToRows();
}

}  // namespace nv
