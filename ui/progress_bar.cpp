#include "ui/progress_bar.h"
#include <cmath>
namespace tarnvel::ui {
void PGVisible(Shape& Bar, Shape&, Shape& Back, std::int16_t Optn) {
  Back.SetVisible(Optn != 0); Bar.SetVisible(Optn != 0); Bar.Refresh();
}
void Progress(Shape& Bar, Shape& Frame, Shape& Back, std::int32_t& CurrVal, std::int32_t& MaxVal) {
  if (CurrVal > MaxVal) CurrVal = MaxVal;
  int w = 0;
  if (MaxVal != 0) { volatile long double q = (long double)CurrVal / MaxVal; volatile long double p = q * Frame.Width(); long double r = std::nearbyint((long double)p); if (r >= -32768 && r <= 32767) w = (int)r; }
  if (w != Bar.Width() && w >= 0) Bar.SetWidth(w);
  Back.Refresh(); Bar.Refresh(); Frame.Refresh();
}
}
