// The run's steps that the installation window offers as its own methods,
// as the install run calls them: each hands over to the part that does it.
#include "install/save_res_to_disk.h"
#include "ui/frm_instllation.h"
#include "ui/progress_bar.h"

namespace tarnvel {

SaveOutcome FrmInstllation::SaveResToDisk(std::int16_t ResNum, const std::string& ResType,
                                          const std::string& DestFileName, std::string* Kept) {
  return tarnvel::SaveResToDisk(platform_, ErrCount, ResNum, ResType, DestFileName, Kept);
}

void FrmInstllation::PGVisible(ui::Shape& Bar, ui::Shape& Frame, ui::Shape& Back,
                               std::int16_t Optn) {
  ui::PGVisible(Bar, Frame, Back, Optn);
}

void FrmInstllation::Progress(ui::Shape& Bar, ui::Shape& Frame, ui::Shape& Back,
                              std::int32_t& CurrVal, std::int32_t& MaxVal) {
  ui::Progress(Bar, Frame, Back, CurrVal, MaxVal);
}

}  // namespace tarnvel
