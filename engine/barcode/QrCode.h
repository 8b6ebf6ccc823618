#pragma once
// QR Code Model 2 encoder: byte mode, error-correction level L, versions 1 to 10. A pure function
// from bytes to an immutable module matrix.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "barcode/ModuleMatrix.h"
#include "Value.h"

namespace nv {

/// The working grid of the encoder: one 64-bit word per row (bit j is column j), sized for the
/// largest supported symbol.
using QrGrid = std::array<uint64_t, 57>;

/// One encoded QR Code symbol: its version, the mask chosen and the module matrix.
class QrCode {
 public:
  static constexpr int MIN_VERSION = 1;
  static constexpr int MAX_VERSION = 10;
  /// The side of the largest supported symbol, in modules.
  static constexpr int MAX_SIZE = 4 * MAX_VERSION + 17;
  /// The longest text that fits, in bytes.
  static constexpr int MAX_BYTES = 271;

  // Level L tables of the standard, indexed by version (index 0 unused).
  /// Data codewords of the whole symbol.
  static constexpr std::array<int, 11> DATA_CODEWORDS = {0, 19, 34, 55, 80, 108, 136, 156, 194, 232, 274};
  /// Error-correction codewords of each block.
  static constexpr std::array<int, 11> ECC_CODEWORDS_PER_BLOCK = {0, 7, 10, 15, 20, 26, 18, 20, 24, 30, 18};
  /// Number of error-correction blocks.
  static constexpr std::array<int, 11> NUM_ERROR_CORRECTION_BLOCKS = {0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 4};
  /// Longest text in bytes that fits each version.
  static constexpr std::array<int, 11> BYTE_CAPACITY = {0, 17, 32, 53, 78, 106, 134, 154, 192, 230, 271};
  /// Alignment pattern centre coordinates (0 = unused slot); version 1 has none.
  static constexpr std::array<std::array<int, 3>, 11> ALIGNMENT_POSITIONS = {{
      {0, 0, 0}, {0, 0, 0}, {6, 18, 0}, {6, 22, 0}, {6, 26, 0}, {6, 30, 0},
      {6, 34, 0}, {6, 22, 38}, {6, 24, 42}, {6, 26, 46}, {6, 28, 50},
  }};

  /// Encodes `bytes` (any byte values) in the smallest version that holds them. `forcedMask`
  /// 0 to 7 uses that mask; any other value chooses the mask of lowest penalty (ties keep the
  /// lower number). A text longer than MAX_BYTES gives the empty symbol (version 0).
  static QrCode Encode(std::string_view bytes, int forcedMask = -1);

  /// Returns the smallest version (1 to 10) that holds `length` bytes, or 0 when none does.
  static int VersionFor(size_t length);
  /// Returns the data codewords of `bytes` at `version` (mode, count, data, terminator, padding),
  /// or an empty list when they do not fit.
  static std::vector<uint8_t> DataCodewords(std::string_view bytes, int version);
  /// Returns the penalty score of a symbol by the four rules of the standard (runs, 2 x 2 blocks,
  /// finder-like windows, dark balance), function patterns included.
  static int Penalty(const ModuleMatrix& matrix);

  int Version() const { return version_; }
  /// Returns the mask number used (0 to 7), -1 for the empty symbol.
  int Mask() const { return mask_; }
  int Size() const { return matrix_.Size(); }
  bool IsEmpty() const { return matrix_.IsEmpty(); }
  bool Module(int row, int column) const { return matrix_.Module(row, column); }
  const ModuleMatrix& Matrix() const { return matrix_; }

 private:
  int version_ = 0;
  int mask_ = -1;
  ModuleMatrix matrix_;
};

/// Writes the 15 format-information bits for level L and `mask` (0 to 7) into both format areas
/// of a `size` x `size` grid, sets the dark module and marks all of them as function modules.
void vbx_qr_format(QrGrid& matrix, QrGrid& functionMap, int size, int mask);
/// Inverts every non-function module of a `size` x `size` grid where mask pattern `mask` (0 to 7)
/// holds; applying the same mask twice restores the grid.
void vbx_qr_mask(QrGrid& matrix, const QrGrid& functionMap, int size, int mask);

/// Returns the module rows of the QR Code symbol of a text's bytes as a 1-based list of "0"/"1"
/// texts, top to bottom; a non-text value encodes as the empty text; a text longer than 271
/// bytes gives the empty list.
Value VBXQRMATRIX(const Value& text);

}  // namespace nv
