#include "barcode/DataMatrix.h"

#include <span>
#include <string>

#include "barcode/ReedSolomon.h"

namespace nv {

namespace {

using DmField = ReedSolomon<0x12D>;

constexpr uint8_t UNSET = 2;

/// The largest mapping matrix: 44 - 2 x 2 border modules = 40 a side.
constexpr int MAX_MAPPING = 40;

constexpr bool TablesAgree() {
  for (size_t i = 0; i < static_cast<size_t>(DataMatrix::SIZE_COUNT); ++i) {
    const int regions = DataMatrix::REGIONS_PER_SIDE[i];
    if (DataMatrix::SYMBOL_SIZE[i] != regions * (DataMatrix::DATA_REGION_SIZE[i] + 2)) return false;
    const int mapping = regions * DataMatrix::DATA_REGION_SIZE[i];
    // Every codeword takes 8 modules; at most the 2 x 2 lower-right corner is left over.
    const int modules = (DataMatrix::DATA_CODEWORDS[i] + DataMatrix::ECC_CODEWORDS[i]) * 8;
    if (mapping * mapping - modules < 0 || mapping * mapping - modules > 4) return false;
  }
  return true;
}
static_assert(TablesAgree(), "Data Matrix symbol attribute tables disagree with each other");

const DmField::Generator& GeneratorFor(size_t sizeIndex) {
  static const std::array<DmField::Generator, DataMatrix::SIZE_COUNT> generators = [] {
    std::array<DmField::Generator, DataMatrix::SIZE_COUNT> all;
    for (size_t i = 0; i < all.size(); ++i) all[i] = DmField::MakeGenerator(DataMatrix::ECC_CODEWORDS[i], 1);
    return all;
  }();
  return generators[sizeIndex];
}

/// The placement state of one symbol: the mapping matrix and the codewords being placed.
struct Placement {
  uint8_t* mapping;
  int rows;
  int columns;
  const uint8_t* codewords;
  int count;

  /// Sets one module to bit `bit` (1 = most significant) of codeword `index`, wrapping
  /// positions above or left of the matrix as the standard prescribes.
  void Module(int row, int column, int index, int bit) const {
    if (row < 0) {
      row += rows;
      column += 4 - ((rows + 4) % 8);
    }
    if (column < 0) {
      column += columns;
      row += 4 - ((columns + 4) % 8);
    }
    if (row < 0 || row >= rows || column < 0 || column >= columns) return;
    const uint8_t value = index < count ? codewords[index] : 0;
    mapping[row * columns + column] = static_cast<uint8_t>((value >> (8 - bit)) & 1U);
  }
  bool Unset(int row, int column) const { return mapping[row * columns + column] == UNSET; }

  void Corner1(int i) const {
    Module(rows - 1, 0, i, 1);
    Module(rows - 1, 1, i, 2);
    Module(rows - 1, 2, i, 3);
    Module(0, columns - 2, i, 4);
    Module(0, columns - 1, i, 5);
    Module(1, columns - 1, i, 6);
    Module(2, columns - 1, i, 7);
    Module(3, columns - 1, i, 8);
  }
  void Corner2(int i) const {
    Module(rows - 3, 0, i, 1);
    Module(rows - 2, 0, i, 2);
    Module(rows - 1, 0, i, 3);
    Module(0, columns - 4, i, 4);
    Module(0, columns - 3, i, 5);
    Module(0, columns - 2, i, 6);
    Module(0, columns - 1, i, 7);
    Module(1, columns - 1, i, 8);
  }
  void Corner3(int i) const {
    Module(rows - 3, 0, i, 1);
    Module(rows - 2, 0, i, 2);
    Module(rows - 1, 0, i, 3);
    Module(0, columns - 2, i, 4);
    Module(0, columns - 1, i, 5);
    Module(1, columns - 1, i, 6);
    Module(2, columns - 1, i, 7);
    Module(3, columns - 1, i, 8);
  }
  void Corner4(int i) const {
    Module(rows - 1, 0, i, 1);
    Module(rows - 1, columns - 1, i, 2);
    Module(0, columns - 3, i, 3);
    Module(0, columns - 2, i, 4);
    Module(0, columns - 1, i, 5);
    Module(1, columns - 3, i, 6);
    Module(1, columns - 2, i, 7);
    Module(1, columns - 1, i, 8);
  }
};

/// Fills the mapping matrix with the codewords by the ECC 200 diagonal walk.
void PlaceCodewords(const Placement& p) {
  int index = 0;
  int row = 4;
  int column = 0;
  do {
    if (row == p.rows && column == 0) p.Corner1(index++);
    if (row == p.rows - 2 && column == 0 && p.columns % 4 != 0) p.Corner2(index++);
    if (row == p.rows - 2 && column == 0 && p.columns % 8 == 4) p.Corner3(index++);
    if (row == p.rows + 4 && column == 2 && p.columns % 8 == 0) p.Corner4(index++);
    // Upward to the right.
    do {
      if (row < p.rows && column >= 0 && p.Unset(row, column)) {
        vbx_dm_utah(p.mapping, p.rows, p.columns, p.codewords, index++, row, column);
      }
      row -= 2;
      column += 2;
    } while (row >= 0 && column < p.columns);
    row += 1;
    column += 3;
    // Downward to the left.
    do {
      if (row >= 0 && column < p.columns && p.Unset(row, column)) {
        vbx_dm_utah(p.mapping, p.rows, p.columns, p.codewords, index++, row, column);
      }
      row += 2;
      column -= 2;
    } while (row < p.rows && column >= 0);
    row += 3;
    column += 1;
  } while (row < p.rows || column < p.columns);

  if (p.Unset(p.rows - 1, p.columns - 1)) {
    p.mapping[(p.rows - 1) * p.columns + p.columns - 1] = 1;
    p.mapping[(p.rows - 1) * p.columns + p.columns - 2] = 0;
    p.mapping[(p.rows - 2) * p.columns + p.columns - 1] = 0;
    p.mapping[(p.rows - 2) * p.columns + p.columns - 2] = 1;
  }
}

}  // namespace

void vbx_dm_utah(uint8_t* mapping, int mappingRows, int mappingColumns, const uint8_t* codewords,
                 int codewordIndex, int row, int column) {
  // The caller bounds codewordIndex by the symbol's codeword count; the walk never exceeds it.
  const Placement p{mapping, mappingRows, mappingColumns, codewords, codewordIndex + 1};
  p.Module(row - 2, column - 2, codewordIndex, 1);
  p.Module(row - 2, column - 1, codewordIndex, 2);
  p.Module(row - 1, column - 2, codewordIndex, 3);
  p.Module(row - 1, column - 1, codewordIndex, 4);
  p.Module(row - 1, column, codewordIndex, 5);
  p.Module(row, column - 2, codewordIndex, 6);
  p.Module(row, column - 1, codewordIndex, 7);
  p.Module(row, column, codewordIndex, 8);
}

std::vector<uint8_t> DataMatrix::EncodeAscii(std::string_view bytes) {
  std::vector<uint8_t> out;
  out.reserve(bytes.size() + 1);
  auto isDigit = [](unsigned char c) { return c >= '0' && c <= '9'; };
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (isDigit(c) && i + 1 < bytes.size() && isDigit(static_cast<unsigned char>(bytes[i + 1]))) {
      out.push_back(static_cast<uint8_t>(130 + (c - '0') * 10 + (bytes[i + 1] - '0')));
      ++i;
    } else if (c < 128) {
      out.push_back(static_cast<uint8_t>(c + 1));
    } else {
      out.push_back(UPPER_SHIFT);
      out.push_back(static_cast<uint8_t>(c - 127));
    }
  }
  return out;
}

DataMatrix DataMatrix::Encode(std::string_view bytes) {
  DataMatrix symbol;
  std::vector<uint8_t> codewords = EncodeAscii(bytes);
  if (codewords.size() > static_cast<size_t>(MAX_DATA_CODEWORDS)) return symbol;
  size_t s = 0;
  while (static_cast<size_t>(DATA_CODEWORDS[s]) < codewords.size()) ++s;

  const size_t capacity = static_cast<size_t>(DATA_CODEWORDS[s]);
  const size_t ecc = static_cast<size_t>(ECC_CODEWORDS[s]);
  // The first pad is plain 129; later ones are randomised by their 1-based position so that long
  // padding does not form regular patterns.
  if (codewords.size() < capacity) codewords.push_back(PAD);
  while (codewords.size() < capacity) {
    const int position = static_cast<int>(codewords.size()) + 1;
    int value = PAD + (149 * position) % 253 + 1;
    if (value > 254) value -= 254;
    codewords.push_back(static_cast<uint8_t>(value));
  }
  codewords.resize(capacity + ecc);
  DmField::Remainder(std::span<const uint8_t>(codewords.data(), capacity), GeneratorFor(s), codewords.data() + capacity);

  const int regions = REGIONS_PER_SIDE[s];
  const int region = DATA_REGION_SIZE[s];
  const int mappingSize = regions * region;
  std::array<uint8_t, MAX_MAPPING * MAX_MAPPING> mapping;
  mapping.fill(UNSET);
  PlaceCodewords(Placement{mapping.data(), mappingSize, mappingSize, codewords.data(), static_cast<int>(codewords.size())});

  // Each region gets a solid dark left column and bottom row, a top row dark at even columns and
  // a right column dark at odd rows counted from the region's top.
  const int size = SYMBOL_SIZE[s];
  std::vector<uint64_t> rows(static_cast<size_t>(size), 0);
  const int block = region + 2;
  for (int r = 0; r < size; ++r) {
    const int inBlockRow = r % block;
    uint64_t word = 0;
    for (int c = 0; c < size; ++c) {
      const int inBlockColumn = c % block;
      bool dark;
      if (inBlockColumn == 0 || inBlockRow == block - 1) {
        dark = true;
      } else if (inBlockRow == 0) {
        dark = c % 2 == 0;
      } else if (inBlockColumn == block - 1) {
        dark = inBlockRow % 2 == 1;
      } else {
        const int mr = (r / block) * region + inBlockRow - 1;
        const int mc = (c / block) * region + inBlockColumn - 1;
        dark = mapping[static_cast<size_t>(mr * mappingSize + mc)] == 1;
      }
      if (dark) word |= uint64_t{1} << c;
    }
    rows[static_cast<size_t>(r)] = word;
  }

  symbol.codewords_ = std::move(codewords);
  symbol.dataCount_ = static_cast<int>(capacity);
  symbol.matrix_ = ModuleMatrix(size, std::move(rows));
  return symbol;
}

Value VBXDATAMATRIX(const Value& text) {
  static const std::string empty;
  const std::string& bytes = text.IsString() ? text.AsString() : empty;
  return DataMatrix::Encode(bytes).Matrix().ToRows();
}

}  // namespace nv
