#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BarcodeReader.h"
#include "barcode/DataMatrix.h"
#include "Value.h"

using namespace nv;

namespace {

std::vector<uint8_t> DataOf(const DataMatrix& symbol) {
  const auto& all = symbol.Codewords();
  return std::vector<uint8_t>(all.begin(), all.begin() + symbol.DataCodewordCount());
}

/// GF(256) with polynomial 301, written out bit by bit for an independent check.
uint8_t GfMultiply(uint8_t a, uint8_t b) {
  unsigned product = 0;
  unsigned x = a;
  for (int i = 0; i < 8; ++i) {
    if ((b >> i) & 1) product ^= x;
    x <<= 1;
    if (x & 0x100) x ^= 0x12D;
  }
  return static_cast<uint8_t>(product);
}

/// A text of letters that encodes to exactly `codewords` codewords.
std::string Letters(size_t codewords) { return std::string(codewords, 'K'); }

}  // namespace

TEST(DataMatrix, EncodesAsciiDigitPairsAndUpperShift) {
  EXPECT_EQ(DataMatrix::EncodeAscii("123456"), (std::vector<uint8_t>{142, 164, 186}));
  EXPECT_EQ(DataMatrix::EncodeAscii("1234567"), (std::vector<uint8_t>{142, 164, 186, 56}));
  EXPECT_EQ(DataMatrix::EncodeAscii("A1B"), (std::vector<uint8_t>{66, 50, 67}));
  EXPECT_EQ(DataMatrix::EncodeAscii("00"), (std::vector<uint8_t>{130}));
  EXPECT_EQ(DataMatrix::EncodeAscii("99"), (std::vector<uint8_t>{229}));
  EXPECT_EQ(DataMatrix::EncodeAscii(std::string("\x00\x7F", 2)), (std::vector<uint8_t>{1, 128}));
  EXPECT_EQ(DataMatrix::EncodeAscii("\xC8"), (std::vector<uint8_t>{235, 73}));
  EXPECT_EQ(DataMatrix::EncodeAscii("\xFF" "5"), (std::vector<uint8_t>{235, 128, 54}));

  const DataMatrix empty = DataMatrix::Encode("");
  EXPECT_EQ(empty.Size(), 10);
  EXPECT_EQ(DataOf(empty), (std::vector<uint8_t>{129, 175, 70}));
  EXPECT_EQ(empty.Codewords().size(), 8u);
  const DataMatrix digits = DataMatrix::Encode("123456");
  EXPECT_EQ(digits.Size(), 10);
  EXPECT_EQ(DataOf(digits), (std::vector<uint8_t>{142, 164, 186}));
  const DataMatrix seven = DataMatrix::Encode("1234567");
  EXPECT_EQ(seven.Size(), 12);
  EXPECT_EQ(DataOf(seven), (std::vector<uint8_t>{142, 164, 186, 56, 129}));
}

TEST(DataMatrix, PicksTheSmallestSizeAndRefusesMoreThan144Codewords) {
  for (size_t i = 0; i < static_cast<size_t>(DataMatrix::SIZE_COUNT); ++i) {
    const auto capacity = static_cast<size_t>(DataMatrix::DATA_CODEWORDS[i]);
    EXPECT_EQ(DataMatrix::Encode(Letters(capacity)).Size(), DataMatrix::SYMBOL_SIZE[i]);
    if (i + 1 < static_cast<size_t>(DataMatrix::SIZE_COUNT)) {
      EXPECT_EQ(DataMatrix::Encode(Letters(capacity + 1)).Size(), DataMatrix::SYMBOL_SIZE[i + 1]);
    }
  }
  EXPECT_EQ(DataMatrix::Encode(Letters(144)).Size(), 44);
  EXPECT_TRUE(DataMatrix::Encode(Letters(145)).IsEmpty());
  EXPECT_EQ(DataMatrix::Encode(std::string(288, '7')).Size(), 44);
  EXPECT_TRUE(DataMatrix::Encode(std::string(289, '7')).IsEmpty());
  EXPECT_TRUE(DataMatrix::Encode(std::string(73, '\xE9')).IsEmpty());
  EXPECT_EQ(DataMatrix::Encode(std::string(72, '\xE9')).Size(), 44);

  EXPECT_EQ(VBXDATAMATRIX(Value(Letters(145))).Len(), 0u);
  EXPECT_TRUE(VBXDATAMATRIX(Value(Letters(145))).IsArray());
  const Value rows = VBXDATAMATRIX(Value("123456"));
  ASSERT_EQ(rows.Len(), 10u);
  EXPECT_EQ(rows.Item(1).AsString(), "1010101010");
  EXPECT_EQ(rows.Item(10).AsString(), "1111111111");
  EXPECT_EQ(VBXDATAMATRIX(Value(true)).Len(), 10u);
}

TEST(DataMatrix, PadsWithTheRandomisedSequence) {
  const DataMatrix symbol = DataMatrix::Encode("A");  // 1 codeword in a 3-codeword symbol
  EXPECT_EQ(DataOf(symbol), (std::vector<uint8_t>{66, 129, 70}));
  const std::vector<uint8_t> long_pad = DataOf(DataMatrix::Encode(Letters(19)));  // 22 capacity
  ASSERT_EQ(long_pad.size(), 22u);
  EXPECT_EQ(long_pad[19], 129);
  for (int p = 21; p <= 22; ++p) {
    int v = 129 + (149 * p) % 253 + 1;
    if (v > 254) v -= 254;
    EXPECT_EQ(long_pad[static_cast<size_t>(p - 1)], v);
  }
}

TEST(DataMatrix, ErrorCorrectionVanishesAtTheGeneratorRoots) {
  for (size_t i = 0; i < static_cast<size_t>(DataMatrix::SIZE_COUNT); ++i) {
    const DataMatrix symbol = DataMatrix::Encode(Letters(static_cast<size_t>(DataMatrix::DATA_CODEWORDS[i]) - 1));
    const auto& codewords = symbol.Codewords();
    ASSERT_EQ(codewords.size(), static_cast<size_t>(DataMatrix::DATA_CODEWORDS[i] + DataMatrix::ECC_CODEWORDS[i]));
    uint8_t root = 2;
    for (int k = 1; k <= DataMatrix::ECC_CODEWORDS[i]; ++k) {
      uint8_t sum = 0;
      for (uint8_t c : codewords) sum = static_cast<uint8_t>(GfMultiply(sum, root) ^ c);
      EXPECT_EQ(sum, 0) << "size " << DataMatrix::SYMBOL_SIZE[i] << " root alpha^" << k;
      root = GfMultiply(root, 2);
    }
  }
}

TEST(DataMatrix, EveryRegionHasItsFinderAndTimingBorders) {
  for (size_t i = 0; i < static_cast<size_t>(DataMatrix::SIZE_COUNT); ++i) {
    const DataMatrix symbol = DataMatrix::Encode(Letters(static_cast<size_t>(DataMatrix::DATA_CODEWORDS[i])));
    const int n = symbol.Size();
    const int block = DataMatrix::DATA_REGION_SIZE[i] + 2;
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) {
        const int br = r % block;
        const int bc = c % block;
        if (bc == 0 || br == block - 1) {
          EXPECT_TRUE(symbol.Module(r, c)) << "solid border at " << r << "," << c << " size " << n;
        } else if (br == 0) {
          EXPECT_EQ(symbol.Module(r, c), c % 2 == 0) << "top timing at " << r << "," << c << " size " << n;
        } else if (bc == block - 1) {
          EXPECT_EQ(symbol.Module(r, c), br % 2 == 1) << "right timing at " << r << "," << c << " size " << n;
        }
      }
    }
  }
  // The 32 x 32 symbol: rows 15 / 16 and columns 15 / 16 separate its four regions.
  const DataMatrix big = DataMatrix::Encode(Letters(50));
  ASSERT_EQ(big.Size(), 32);
  const std::string row15 = big.Matrix().RowText(15);
  const std::string row16 = big.Matrix().RowText(16);
  EXPECT_EQ(row15, std::string(32, '1'));
  EXPECT_EQ(row16, "10101010101010101010101010101010");
  for (int r = 0; r < 32; ++r) {
    EXPECT_TRUE(big.Module(r, 0));
    EXPECT_TRUE(big.Module(r, 16));
    EXPECT_EQ(big.Module(r, 15), r % 16 % 2 == 1) << r;
    EXPECT_EQ(big.Module(r, 31), r % 16 % 2 == 1) << r;
  }
}

TEST(DataMatrixReader, DecodesEverySizeByteForByte) {
  for (size_t i = 0; i < static_cast<size_t>(DataMatrix::SIZE_COUNT); ++i) {
    const auto capacity = static_cast<size_t>(DataMatrix::DATA_CODEWORDS[i]);
    // Mixed content: digit pairs, letters, controls and bytes above 127, filling the symbol.
    std::vector<std::string> texts;
    std::string mixed;
    for (size_t k = 0; DataMatrix::EncodeAscii(mixed).size() + 2 <= capacity; ++k) {
      static const char* pieces[] = {"42", "a", "\xE9", "Z", "\x01", "7", "\xFF", " "};
      mixed += pieces[k % 8];
    }
    texts.push_back(mixed);
    texts.push_back(Letters(capacity));
    texts.push_back(std::string(capacity * 2, '3'));
    for (const std::string& text : texts) {
      const Value rows = VBXDATAMATRIX(Value(text));
      ASSERT_EQ(static_cast<int>(rows.Len()), DataMatrix::SYMBOL_SIZE[i]) << "capacity " << capacity;
      const auto decoded =
          reader::Decode(reader::RenderMatrix(reader::RowsOf(rows), 2, 4), ZXing::BarcodeFormat::DataMatrix);
      ASSERT_TRUE(decoded.has_value()) << "size " << DataMatrix::SYMBOL_SIZE[i];
      EXPECT_EQ(decoded->bytes, text) << "size " << DataMatrix::SYMBOL_SIZE[i];
    }
  }
  for (const std::string& text : {std::string(), std::string("123456"), std::string("Norvane \xC3\xB1 label")}) {
    const auto decoded = reader::Decode(reader::RenderMatrix(reader::RowsOf(VBXDATAMATRIX(Value(text))), 1, 4),
                                        ZXing::BarcodeFormat::DataMatrix);
    ASSERT_TRUE(decoded.has_value()) << text;
    EXPECT_EQ(decoded->bytes, text);
  }
}
