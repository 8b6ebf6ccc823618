#pragma once
// Reed-Solomon error correction over GF(256), shared by the QR Code and Data Matrix encoders.
// The field is fixed by its primitive polynomial (285 for QR Code, 301 for Data Matrix).

#include <array>
#include <cstdint>
#include <span>

namespace nv {

namespace detail {

/// Exponent and logarithm tables of GF(256) for one primitive polynomial.
struct GaloisTables {
  std::array<uint8_t, 512> exp{};
  std::array<uint16_t, 256> log{};
};

constexpr GaloisTables MakeGaloisTables(unsigned primitivePolynomial) {
  GaloisTables t;
  unsigned x = 1;
  for (unsigned i = 0; i < 255; ++i) {
    t.exp[i] = static_cast<uint8_t>(x);
    t.log[x] = static_cast<uint16_t>(i);
    x <<= 1;
    if (x & 0x100) x ^= primitivePolynomial;
  }
  // The doubled table lets a sum of two logarithms index it without a modulo.
  for (unsigned i = 255; i < 512; ++i) t.exp[i] = t.exp[i - 255];
  return t;
}

template <unsigned PrimitivePolynomial>
inline constexpr GaloisTables GALOIS_TABLES = MakeGaloisTables(PrimitivePolynomial);

}  // namespace detail

/// GF(256) arithmetic and Reed-Solomon remainders for the field with primitive polynomial
/// `PrimitivePolynomial` (a 9-bit value such as 0x11D) and generator element alpha = 2.
template <unsigned PrimitivePolynomial>
class ReedSolomon {
 public:
  /// The most error-correction codewords one block may have.
  static constexpr int MAX_DEGREE = 68;

  /// Returns the product of two field elements.
  static constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return EXP[static_cast<unsigned>(LOG[a]) + LOG[b]];
  }
  /// Returns alpha raised to the power e (0 <= e < 255).
  static constexpr uint8_t Power(int e) { return EXP[static_cast<unsigned>(e % 255)]; }

  /// A generator polynomial of degree `degree` (1 to MAX_DEGREE) with roots alpha^first to
  /// alpha^(first + degree - 1): coefficients from the highest power down, the leading 1 omitted.
  struct Generator {
    int degree = 0;
    std::array<uint8_t, MAX_DEGREE> coefficients{};
  };

  static constexpr Generator MakeGenerator(int degree, int firstRoot) {
    Generator g;
    g.degree = degree < 1 ? 1 : (degree > MAX_DEGREE ? MAX_DEGREE : degree);
    // Start from the constant polynomial 1 and multiply by (x - root) once per root.
    g.coefficients[static_cast<size_t>(g.degree - 1)] = 1;
    uint8_t root = Power(firstRoot);
    for (int i = 0; i < g.degree; ++i) {
      for (int j = 0; j < g.degree; ++j) {
        uint8_t next = j + 1 < g.degree ? g.coefficients[static_cast<size_t>(j + 1)] : 0;
        g.coefficients[static_cast<size_t>(j)] = Multiply(g.coefficients[static_cast<size_t>(j)], root) ^ next;
      }
      root = Multiply(root, 2);
    }
    return g;
  }

  /// Writes the generator.degree error-correction codewords of `data` (the remainder of
  /// data(x) * x^degree divided by the generator) into `out`, which must hold that many.
  static void Remainder(std::span<const uint8_t> data, const Generator& generator, uint8_t* out) {
    const int k = generator.degree;
    for (int i = 0; i < k; ++i) out[i] = 0;
    for (uint8_t byte : data) {
      const uint8_t factor = byte ^ out[0];
      for (int i = 0; i + 1 < k; ++i) out[i] = out[i + 1];
      out[k - 1] = 0;
      if (factor == 0) continue;
      const unsigned logFactor = LOG[factor];
      for (int i = 0; i < k; ++i) {
        const uint8_t c = generator.coefficients[static_cast<size_t>(i)];
        if (c != 0) out[i] ^= EXP[logFactor + LOG[c]];
      }
    }
  }

 private:
  static constexpr const std::array<uint8_t, 512>& EXP = detail::GALOIS_TABLES<PrimitivePolynomial>.exp;
  static constexpr const std::array<uint16_t, 256>& LOG = detail::GALOIS_TABLES<PrimitivePolynomial>.log;
};

}  // namespace nv
