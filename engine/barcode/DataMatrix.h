#pragma once
// Data Matrix ECC 200 encoder: ASCII encodation, the square symbols from 10 x 10 to 44 x 44, one
// Reed-Solomon block each. A pure function from bytes to an immutable module matrix.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "barcode/ModuleMatrix.h"
#include "Value.h"

namespace nv {

/// One encoded Data Matrix symbol: its codewords and its module matrix.
class DataMatrix {
 public:
  /// The number of supported symbol sizes.
  static constexpr int SIZE_COUNT = 13;
  /// The most data codewords of the largest supported symbol.
  static constexpr int MAX_DATA_CODEWORDS = 144;

  // ECC 200 symbol attributes of the square sizes, smallest first.
  /// Symbol side in modules, finder and timing borders included.
  static constexpr std::array<int, SIZE_COUNT> SYMBOL_SIZE = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44};
  /// Data codewords.
  static constexpr std::array<int, SIZE_COUNT> DATA_CODEWORDS = {3, 5, 8, 12, 18, 22, 30, 36, 44, 62, 86, 114, 144};
  /// Error-correction codewords (one block).
  static constexpr std::array<int, SIZE_COUNT> ECC_CODEWORDS = {5, 7, 10, 12, 14, 18, 20, 24, 28, 36, 42, 48, 56};
  /// Side of one data region in modules.
  static constexpr std::array<int, SIZE_COUNT> DATA_REGION_SIZE = {8, 10, 12, 14, 16, 18, 20, 22, 24, 14, 16, 18, 20};
  /// Data regions along each side.
  static constexpr std::array<int, SIZE_COUNT> REGIONS_PER_SIDE = {1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2};

  /// Codeword values of the ASCII encodation.
  static constexpr uint8_t PAD = 129;
  static constexpr uint8_t UPPER_SHIFT = 235;

  /// Returns the ASCII encodation of `bytes`: digit pairs as 130 + value, bytes 0 to 127 as
  /// byte + 1, bytes 128 to 255 as Upper Shift and byte - 127. No padding.
  static std::vector<uint8_t> EncodeAscii(std::string_view bytes);
  /// Encodes `bytes` in the smallest symbol that holds them; more than 144 data codewords give
  /// the empty symbol.
  static DataMatrix Encode(std::string_view bytes);

  /// Returns the data codewords (padding included) followed by the error-correction codewords.
  const std::vector<uint8_t>& Codewords() const { return codewords_; }
  /// Returns the number of data codewords (the symbol's data capacity), 0 for the empty symbol.
  int DataCodewordCount() const { return dataCount_; }
  int Size() const { return matrix_.Size(); }
  bool IsEmpty() const { return matrix_.IsEmpty(); }
  bool Module(int row, int column) const { return matrix_.Module(row, column); }
  const ModuleMatrix& Matrix() const { return matrix_; }

 private:
  std::vector<uint8_t> codewords_;
  int dataCount_ = 0;
  ModuleMatrix matrix_;
};

/// Places the 8 bits of `codewords[codewordIndex]` (most significant first) in the "utah" shape
/// whose lower-right module is at (row, column) of the `mappingRows` x `mappingColumns` mapping
/// matrix (row-major, 0 light, 1 dark, 2 unset), wrapping positions that fall outside it.
void vbx_dm_utah(uint8_t* mapping, int mappingRows, int mappingColumns, const uint8_t* codewords,
                 int codewordIndex, int row, int column);

/// Returns the module rows of the Data Matrix symbol of a text's bytes as a 1-based list of "0"/"1"
/// texts, top to bottom; a non-text value encodes as the empty text; a text needing more than 144
/// data codewords gives the empty list.
Value VBXDATAMATRIX(const Value& text);

}  // namespace nv
