#include "generator/numeric_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace drumlo {

namespace {

// Exponents beyond this give inf or 0 whatever the digits; capping keeps the accumulation
// from overflowing.
constexpr std::int64_t kExponentCap = 1'000'000'000'000;

bool IsBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\n';
}
bool IsDigit(char16_t unit) {
  return unit >= u'0' && unit <= u'9';
}

// Reads the text unit by unit with blanks skipped wherever they stand.
class BlankSkippingReader {
 public:
  explicit BlankSkippingReader(TextView text) : text_(text) { SkipBlanks(); }

  [[nodiscard]] bool AtEnd() const { return at_ >= text_.size(); }
  [[nodiscard]] char16_t Peek() const { return AtEnd() ? u'\0' : text_[at_]; }
  void Advance() {
    ++at_;
    SkipBlanks();
  }
  // Consumes the next unit when it is one of `choices`.
  bool Take(TextView choices) {
    if (AtEnd() || choices.find(text_[at_]) == TextView::npos) return false;
    Advance();
    return true;
  }

 private:
  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_]))
      ++at_;
  }

  TextView text_;
  std::size_t at_ = 0;
};

// "&H" / "&O" digits: a non-negative integer, exact while it fits 64 bits, then carried on in
// floating point so that a very long run of digits only grows towards infinity.
std::optional<double> ReadRadixInteger(BlankSkippingReader& in, int radix) {
  if (DigitValue(in.Peek(), radix) < 0) return std::nullopt;
  std::uint64_t exact = 0;
  double wide = 0;
  bool exact_fits = true;
  constexpr std::uint64_t kLimit = std::numeric_limits<std::uint64_t>::max() / 16;
  for (int digit = DigitValue(in.Peek(), radix); digit >= 0; digit = DigitValue(in.Peek(), radix)) {
    if (exact_fits && exact > kLimit) {
      exact_fits = false;
      wide = static_cast<double>(exact);
    }
    if (exact_fits) {
      exact = exact * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    } else {
      wide = wide * radix + digit;
    }
    in.Advance();
  }
  return exact_fits ? static_cast<double>(exact) : wide;
}

// The pieces of a decimal number as read, blanks removed.
struct DecimalParts {
  bool negative = false;
  std::string digits;          // integer digits then fraction digits, ASCII
  std::size_t int_digits = 0;  // how many of `digits` stand before the point
  std::int64_t exponent = 0;   // capped at +-kExponentCap
};

void ReadDigits(BlankSkippingReader& in, std::string& digits) {
  while (!in.AtEnd() && IsDigit(in.Peek())) {
    digits.push_back(static_cast<char>(in.Peek()));
    in.Advance();
  }
}

std::int64_t ReadExponent(BlankSkippingReader& in) {
  const bool negative = in.Peek() == u'-';
  in.Take(u"+-");
  std::int64_t exponent = 0;
  while (!in.AtEnd() && IsDigit(in.Peek())) {
    exponent = std::min<std::int64_t>(exponent * 10 + (in.Peek() - u'0'), kExponentCap);
    in.Advance();
  }
  return negative ? -exponent : exponent;
}

// Decimal exponent of the leading significant digit; used only for out-of-range results, whose
// magnitude lies far above 1 (overflow) or far below it (underflow).
std::int64_t LeadingDecimalExponent(const DecimalParts& parts) {
  const std::size_t first = parts.digits.find_first_not_of('0');
  return parts.exponent + static_cast<std::int64_t>(parts.int_digits) -
         static_cast<std::int64_t>(first) - 1;
}

// Up to 15 digits and a power of ten up to 22 are both exact doubles, so one multiplication
// or division, correctly rounded, gives the same double as the full conversion.
std::optional<double> ExactlyConverted(const std::string& digits, std::int64_t exponent) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (digits.size() > 15 || exponent < -22 || exponent > 22) return std::nullopt;
  std::uint64_t mantissa = 0;
  for (const char digit : digits)
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(digit - '0');
  const auto m = static_cast<double>(mantissa);
  return exponent >= 0 ? m * kPowersOfTen[exponent] : m / kPowersOfTen[-exponent];
}

double ToDouble(const DecimalParts& parts) {
  if (parts.digits.find_first_not_of('0') == std::string::npos) return parts.negative ? -0.0 : 0.0;
  const auto fraction_digits = static_cast<std::int64_t>(parts.digits.size() - parts.int_digits);
  if (const std::optional<double> quick =
          ExactlyConverted(parts.digits, parts.exponent - fraction_digits)) {
    return parts.negative ? -*quick : *quick;
  }
  // All digits as one integer, the point moved into the exponent: the one form every parser takes.
  std::string text = parts.digits;
  text.push_back('e');
  text.append(std::to_string(parts.exponent - fraction_digits));
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = LeadingDecimalExponent(parts) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return parts.negative ? -value : value;
}

std::optional<double> ReadDecimal(BlankSkippingReader& in) {
  DecimalParts parts;
  parts.negative = in.Peek() == u'-';
  in.Take(u"+-");
  ReadDigits(in, parts.digits);
  parts.int_digits = parts.digits.size();
  if (in.Take(u".")) ReadDigits(in, parts.digits);
  if (parts.digits.empty()) return std::nullopt;
  if (in.Take(u"EeDd")) parts.exponent = ReadExponent(in);
  return ToDouble(parts);
}

}  // namespace

std::optional<double> LeadingNumber(TextView text) {
  BlankSkippingReader in(text);
  if (in.Take(u"&")) {
    if (in.Take(u"Hh")) return ReadRadixInteger(in, 16);
    if (in.Take(u"Oo")) return ReadRadixInteger(in, 8);
    return std::nullopt;
  }
  return ReadDecimal(in);
}

double NumericValue(TextView text) {
  return LeadingNumber(text).value_or(0.0);
}

namespace {

// Nearest integer, halves to the even neighbour, whatever the floating-point rounding mode.
double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;  // exact for every finite double
  if (fraction < 0.5) return floor;
  if (fraction > 0.5) return floor + 1;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace

std::optional<std::int32_t> RoundToInt32(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = RoundHalfEven(value);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}

std::optional<std::uint8_t> RoundToByte(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = RoundHalfEven(value);
  if (rounded < 0 || rounded > 255) return std::nullopt;
  return static_cast<std::uint8_t>(rounded);
}

}  // namespace drumlo
