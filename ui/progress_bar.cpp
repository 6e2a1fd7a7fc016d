#include "ui/progress_bar.h"

#include <cmath>

namespace tarnvel::ui {

namespace {

// The rounding is that of the x87 with a 64-bit mantissa. Windows starts
// threads with 53 bits and other code may change it, so the computation sets
// the precision itself and restores the caller's afterwards.
class ExtendedPrecision {
 public:
#if defined(__i386__) || defined(__x86_64__)
  ExtendedPrecision() {
    __asm__ volatile("fnstcw %0" : "=m"(saved_) : : "memory");
    // Precision control 11 (64 bits), rounding control 00 (to nearest).
    const unsigned short wanted = static_cast<unsigned short>((saved_ & ~0x0F00u) | 0x0300u);
    __asm__ volatile("fldcw %0" : : "m"(wanted) : "memory");
  }
  ~ExtendedPrecision() { __asm__ volatile("fldcw %0" : : "m"(saved_) : "memory"); }
  ExtendedPrecision(const ExtendedPrecision&) = delete;
  ExtendedPrecision& operator=(const ExtendedPrecision&) = delete;

 private:
  unsigned short saved_ = 0;
#endif
};

// Nearest integer, an exact half going to the even neighbour.
long double RoundHalfEven(long double value) {
  const long double below = std::floor(value);
  const long double fraction = value - below;
  if (fraction > 0.5L) return below + 1;
  if (fraction < 0.5L) return below;
  return std::fmod(below, 2.0L) == 0 ? below : below + 1;
}

}  // namespace

std::optional<std::int16_t> BarWidth(std::int32_t currVal, std::int32_t maxVal, int fullWidth) {
  if (maxVal == 0) return std::nullopt;  // 0 / 0 included
  [[maybe_unused]] ExtendedPrecision precision;
  // Volatile: each result is stored as an 80-bit value, in the order written,
  // after the precision is set; nothing is folded or kept wider.
  volatile long double numerator = static_cast<double>(currVal);
  volatile long double denominator = static_cast<double>(maxVal);
  volatile long double scale = static_cast<long double>(fullWidth);
  volatile long double quotient = numerator / denominator;
  volatile long double product = quotient * scale;
  const long double nearest = RoundHalfEven(product);
  if (nearest < -32768.0L || nearest > 32767.0L) return std::nullopt;
  return static_cast<std::int16_t>(nearest);
}

void PGVisible(Shape& Bar, Shape& /*Frame*/, Shape& Back, std::int16_t Optn) {
  Back.SetVisible(Optn != 0);
  Bar.SetVisible(Optn != 0);
  Bar.Refresh();
}

// The steps that can fail are checked, and a failing one is passed over:
// a division by zero or a width outside 16 bits leaves the target at 0, and
// a negative target is not applied. The three repaints always run.
void Progress(Shape& Bar, Shape& Frame, Shape& Back, std::int32_t& CurrVal, std::int32_t& MaxVal) {
  if (CurrVal > MaxVal) CurrVal = MaxVal;
  std::int16_t target = 0;
  if (const auto width = BarWidth(CurrVal, MaxVal, Frame.Width())) target = *width;
  // A shape's width cannot be negative.
  if (static_cast<float>(target) != static_cast<float>(Bar.Width()) && target >= 0) {
    Bar.SetWidth(target);
  }
  Back.Refresh();
  Bar.Refresh();
  Frame.Refresh();
}

}  // namespace tarnvel::ui
