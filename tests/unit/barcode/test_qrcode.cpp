#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "BarcodeReader.h"
#include "barcode/QrCode.h"
#include "Value.h"

using namespace nv;

namespace {

/// A text of `length` bytes cycling through every byte value, so bytes above 127 appear.
std::string Bytes(size_t length, unsigned seed = 0) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>((i * 37 + seed * 11 + 200) % 256));
  return text;
}

/// The penalty rules written out module by module, independent of the encoder's word arithmetic.
int ReferencePenalty(const ModuleMatrix& m) {
  const int n = m.Size();
  int penalty = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int line = 0; line < n; ++line) {
      auto at = [&](int k) { return pass == 0 ? m.Module(line, k) : m.Module(k, line); };
      int run = 1;
      for (int k = 1; k <= n; ++k) {
        if (k < n && at(k) == at(k - 1)) {
          ++run;
          continue;
        }
        if (run >= 5) penalty += 3 + (run - 5);
        run = 1;
      }
      for (int k = 0; k + 11 <= n; ++k) {
        std::string window;
        for (int i = 0; i < 11; ++i) window.push_back(at(k + i) ? '1' : '0');
        if (window == "00001011101" || window == "10111010000") penalty += 40;
      }
    }
  }
  int dark = 0;
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      dark += m.Module(r, c) ? 1 : 0;
      if (r + 1 < n && c + 1 < n) {
        const bool v = m.Module(r, c);
        if (m.Module(r, c + 1) == v && m.Module(r + 1, c) == v && m.Module(r + 1, c + 1) == v) penalty += 3;
      }
    }
  }
  const int t = n * n;
  penalty += 10 * (std::abs(20 * dark - 10 * t) / t);
  return penalty;
}

/// The 15 format bits of the first copy (around the top-left finder), bit 0 first.
int ReadFormatCopy1(const QrCode& q) {
  int bits = 0;
  auto put = [&](int i, int r, int c) { bits |= (q.Module(r, c) ? 1 : 0) << i; };
  for (int i = 0; i <= 5; ++i) put(i, i, 8);
  put(6, 7, 8);
  put(7, 8, 8);
  put(8, 8, 7);
  for (int i = 9; i < 15; ++i) put(i, 8, 14 - i);
  return bits;
}

int ReadFormatCopy2(const QrCode& q) {
  const int n = q.Size();
  int bits = 0;
  for (int i = 0; i < 8; ++i) bits |= (q.Module(8, n - 1 - i) ? 1 : 0) << i;
  for (int i = 8; i < 15; ++i) bits |= (q.Module(n - 15 + i, 8) ? 1 : 0) << i;
  return bits;
}

/// The remainder of a polynomial over GF(2) divided by a generator (both as bit masks).
int Gf2Remainder(int value, int generator) {
  int degree = 0;
  while ((generator >> (degree + 1)) != 0) ++degree;
  for (int bit = 30; bit >= degree; --bit) {
    if ((value >> bit) & 1) value ^= generator << (bit - degree);
  }
  return value;
}

void ExpectFinderAt(const QrCode& q, int top, int left) {
  static const char* rows[7] = {"1111111", "1000001", "1011101", "1011101", "1011101", "1000001", "1111111"};
  for (int r = 0; r < 7; ++r) {
    for (int c = 0; c < 7; ++c) {
      EXPECT_EQ(q.Module(top + r, left + c), rows[r][c] == '1') << "finder at " << top << "," << left;
    }
  }
  // The separator: the ring just outside the finder, where it lies inside the symbol.
  for (int k = -1; k <= 7; ++k) {
    for (auto [r, c] : {std::pair{top - 1, left + k}, std::pair{top + 7, left + k}, std::pair{top + k, left - 1},
                        std::pair{top + k, left + 7}}) {
      if (r >= 0 && c >= 0 && r < q.Size() && c < q.Size()) {
        EXPECT_FALSE(q.Module(r, c)) << r << "," << c;
      }
    }
  }
}

}  // namespace

TEST(QrCode, ChoosesTheSmallestVersionAtEachCapacityEdge) {
  for (int v = 1; v <= 10; ++v) {
    const int capacity = QrCode::BYTE_CAPACITY[static_cast<size_t>(v)];
    EXPECT_EQ(QrCode::Encode(Bytes(static_cast<size_t>(capacity))).Version(), v);
    EXPECT_EQ(QrCode::Encode(Bytes(static_cast<size_t>(capacity))).Size(), 4 * v + 17);
    if (v < 10) {
      EXPECT_EQ(QrCode::Encode(Bytes(static_cast<size_t>(capacity + 1))).Version(), v + 1);
    }
  }
  EXPECT_EQ(QrCode::Encode(Bytes(17)).Size(), 21);
  EXPECT_EQ(QrCode::Encode(Bytes(18)).Size(), 25);
  EXPECT_EQ(QrCode::Encode(Bytes(230)).Size(), 53);
  EXPECT_EQ(QrCode::Encode(Bytes(231)).Size(), 57);
  EXPECT_EQ(QrCode::Encode(Bytes(271)).Size(), 57);
  EXPECT_TRUE(QrCode::Encode(Bytes(272)).IsEmpty());
  EXPECT_EQ(QrCode::Encode(Bytes(272)).Mask(), -1);

  const Value rows = VBXQRMATRIX(Value(Bytes(18)));
  ASSERT_TRUE(rows.IsArray());
  ASSERT_EQ(rows.Len(), 25u);
  for (const Value& row : rows.AsArray()) {
    ASSERT_TRUE(row.IsString());
    EXPECT_EQ(row.AsString().size(), 25u);
    EXPECT_EQ(row.AsString().find_first_not_of("01"), std::string::npos);
  }
  EXPECT_EQ(VBXQRMATRIX(Value(Bytes(272))).Len(), 0u);
  EXPECT_TRUE(VBXQRMATRIX(Value(Bytes(272))).IsArray());
  // A value that is not a text encodes as the empty text.
  EXPECT_EQ(VBXQRMATRIX(Value(12345)).Len(), 21u);
  EXPECT_EQ(VBXQRMATRIX(Value()).Item(5).AsString(), VBXQRMATRIX(Value("")).Item(5).AsString());
}

TEST(QrCode, DataStreamHasModeCountTerminatorAndPadding) {
  std::vector<uint8_t> expected = {0x40, 0x00};
  for (int i = 0; i < 17; ++i) expected.push_back(i % 2 == 0 ? 0xEC : 0x11);
  EXPECT_EQ(QrCode::DataCodewords("", 1), expected);

  // "A" (0x41): 0100 00000001 01000001 0000 -> 0x40 0x14 0x10, then padding.
  const std::vector<uint8_t> a = QrCode::DataCodewords("A", 1);
  ASSERT_EQ(a.size(), 19u);
  EXPECT_EQ(a[0], 0x40);
  EXPECT_EQ(a[1], 0x14);
  EXPECT_EQ(a[2], 0x10);
  EXPECT_EQ(a[3], 0xEC);
  EXPECT_EQ(a[4], 0x11);
  EXPECT_EQ(a[18], 0x11);

  // Version 10 counts in 16 bits; 271 bytes leave room for the terminator only.
  const std::string full = Bytes(271);
  const std::vector<uint8_t> v10 = QrCode::DataCodewords(full, 10);
  ASSERT_EQ(v10.size(), 274u);
  EXPECT_EQ(v10[0], 0x40);
  EXPECT_EQ(v10[1], 0x10);
  EXPECT_EQ(v10[2], 0xF0 | (static_cast<uint8_t>(full[0]) >> 4));
  EXPECT_EQ(v10[273], static_cast<uint8_t>((static_cast<uint8_t>(full[270]) & 0x0F) << 4));
  EXPECT_TRUE(QrCode::DataCodewords(Bytes(272), 10).empty());
  EXPECT_TRUE(QrCode::DataCodewords(Bytes(18), 1).empty());
}

TEST(QrCode, EveryVersionHasItsFunctionPatterns) {
  for (int v = 1; v <= 10; ++v) {
    const QrCode q = QrCode::Encode(Bytes(static_cast<size_t>(QrCode::BYTE_CAPACITY[static_cast<size_t>(v)]), 3));
    ASSERT_EQ(q.Version(), v);
    const int n = q.Size();
    ExpectFinderAt(q, 0, 0);
    ExpectFinderAt(q, 0, n - 7);
    ExpectFinderAt(q, n - 7, 0);
    for (int i = 8; i < n - 8; ++i) {
      EXPECT_EQ(q.Module(6, i), i % 2 == 0) << "timing row, version " << v;
      EXPECT_EQ(q.Module(i, 6), i % 2 == 0) << "timing column, version " << v;
    }
    EXPECT_TRUE(q.Module(4 * v + 9, 8)) << "dark module, version " << v;

    const auto& positions = QrCode::ALIGNMENT_POSITIONS[static_cast<size_t>(v)];
    const int count = v == 1 ? 0 : (v < 7 ? 2 : 3);
    for (int a = 0; a < count; ++a) {
      for (int b = 0; b < count; ++b) {
        if ((a == 0 && b == 0) || (a == 0 && b == count - 1) || (a == count - 1 && b == 0)) continue;
        const int row = positions[static_cast<size_t>(a)];
        const int column = positions[static_cast<size_t>(b)];
        for (int dy = -2; dy <= 2; ++dy) {
          for (int dx = -2; dx <= 2; ++dx) {
            const bool ring = std::max(std::abs(dx), std::abs(dy)) == 1;
            EXPECT_EQ(q.Module(row + dy, column + dx), !ring) << "alignment " << row << "," << column;
          }
        }
      }
    }

    if (v >= 7) {
      int top = 0;
      int bottom = 0;
      for (int i = 0; i < 18; ++i) {
        top |= (q.Module(i / 3, n - 11 + i % 3) ? 1 : 0) << i;
        bottom |= (q.Module(n - 11 + i % 3, i / 3) ? 1 : 0) << i;
      }
      EXPECT_EQ(top, bottom);
      EXPECT_EQ(top >> 12, v);
      EXPECT_EQ(Gf2Remainder(top, 0x1F25), 0) << "version information of version " << v;
    }
  }
  // Known version information words of the standard.
  const QrCode v7 = QrCode::Encode(Bytes(154));
  int bits = 0;
  for (int i = 0; i < 18; ++i) bits |= (v7.Module(i / 3, v7.Size() - 11 + i % 3) ? 1 : 0) << i;
  EXPECT_EQ(bits, 0x07C94);
}

TEST(QrCode, FormatInformationNamesLevelLAndTheChosenMask) {
  for (size_t length : {0u, 5u, 17u, 40u, 100u, 200u, 271u}) {
    const QrCode q = QrCode::Encode(Bytes(length, 7));
    const int first = ReadFormatCopy1(q);
    EXPECT_EQ(first, ReadFormatCopy2(q));
    const int unmasked = first ^ 0x5412;
    EXPECT_EQ(Gf2Remainder(unmasked, 0x537), 0);
    EXPECT_EQ(unmasked >> 13, 0b01) << "level L";
    EXPECT_EQ((unmasked >> 10) & 7, q.Mask());
  }
  // Level L with mask 0 is the standard's word 111011111000100.
  EXPECT_EQ(ReadFormatCopy1(QrCode::Encode("x", 0)), 0b111011111000100);
}

TEST(QrCode, PenaltyFollowsTheFourRules) {
  // All light, 21 x 21: 42 runs of 21 (19 each), 400 blocks (3 each), no windows, full imbalance.
  EXPECT_EQ(QrCode::Penalty(ModuleMatrix(21, std::vector<uint64_t>(21, 0))), 42 * 19 + 400 * 3 + 100);
  // One row reading 00001011101 then light: the window counts once in that row.
  std::vector<uint64_t> rows(21, 0);
  const char* window = "00001011101";
  for (int k = 0; k < 11; ++k) {
    if (window[k] == '1') rows[10] |= uint64_t{1} << k;
  }
  const ModuleMatrix one(21, rows);
  EXPECT_EQ(QrCode::Penalty(one), ReferencePenalty(one));
  EXPECT_GE(QrCode::Penalty(one), 40);

  // Random matrices of several sizes agree with the module-by-module rules.
  unsigned state = 12345;
  for (int size : {21, 25, 33, 45, 57}) {
    for (int trial = 0; trial < 5; ++trial) {
      std::vector<uint64_t> random(static_cast<size_t>(size), 0);
      for (auto& word : random) {
        for (int c = 0; c < size; ++c) {
          state = state * 1103515245u + 12345u;
          if (((state >> 16) & 3) != 0 || trial == 0) word |= static_cast<uint64_t>((state >> 20) & 1) << c;
        }
      }
      const ModuleMatrix m(size, random);
      EXPECT_EQ(QrCode::Penalty(m), ReferencePenalty(m)) << "size " << size << " trial " << trial;
    }
  }
}

TEST(QrCode, KeepsTheFirstMaskOfLowestPenalty) {
  for (size_t length : {0u, 1u, 16u, 33u, 77u, 150u, 229u, 271u}) {
    const std::string text = Bytes(length, 5);
    const QrCode chosen = QrCode::Encode(text);
    int bestMask = -1;
    int bestPenalty = 0;
    for (int mask = 0; mask < 8; ++mask) {
      const QrCode forced = QrCode::Encode(text, mask);
      ASSERT_EQ(forced.Mask(), mask);
      const int penalty = ReferencePenalty(forced.Matrix());
      if (bestMask < 0 || penalty < bestPenalty) {
        bestMask = mask;
        bestPenalty = penalty;
      }
    }
    EXPECT_EQ(chosen.Mask(), bestMask) << "length " << length;
    for (int r = 0; r < chosen.Size(); ++r) {
      EXPECT_EQ(chosen.Matrix().RowBits(r), QrCode::Encode(text, bestMask).Matrix().RowBits(r));
    }
  }
}

TEST(QrCode, MaskingTwiceRestoresTheGrid) {
  QrGrid grid{};
  QrGrid function{};
  for (size_t i = 0; i < grid.size(); ++i) grid[i] = 0x0123456789ABCDEFULL * (i + 1);
  function[3] = ~uint64_t{0};
  const QrGrid original = grid;
  for (int mask = 0; mask < 8; ++mask) {
    vbx_qr_mask(grid, function, 57, mask);
    EXPECT_EQ(grid[3], original[3]) << "function modules never change";
    EXPECT_NE(grid, original);
    vbx_qr_mask(grid, function, 57, mask);
    EXPECT_EQ(grid, original);
  }
}

TEST(QrCodeReader, DecodesEveryLengthByteForByte) {
  for (size_t length = 0; length <= 271; ++length) {
    const std::string text = Bytes(length, static_cast<unsigned>(length));
    const Value rows = VBXQRMATRIX(Value(text));
    const auto decoded = reader::Decode(reader::RenderMatrix(reader::RowsOf(rows), 4, 3), ZXing::BarcodeFormat::QRCode);
    ASSERT_TRUE(decoded.has_value()) << "length " << length;
    EXPECT_EQ(decoded->bytes, text) << "length " << length;
  }
}

TEST(QrCodeReader, DecodesEveryMaskAndPlainText) {
  for (const std::string& text : {std::string("https://norvane.example/label?id=42"), Bytes(100, 9), Bytes(250, 2)}) {
    for (int mask = 0; mask < 8; ++mask) {
      const QrCode q = QrCode::Encode(text, mask);
      const auto decoded =
          reader::Decode(reader::RenderMatrix(reader::RowsOf(q.Matrix().ToRows()), 4, 3), ZXing::BarcodeFormat::QRCode);
      ASSERT_TRUE(decoded.has_value()) << "mask " << mask << " version " << q.Version();
      EXPECT_EQ(decoded->bytes, text);
    }
  }
}
