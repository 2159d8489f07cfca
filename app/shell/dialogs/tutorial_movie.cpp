#include "app/shell/dialogs/tutorial_movie.h"

#include "core/program_dir.h"
#include "flash/shockwave_flash.h"

QWidget* MakeTutorialMovie(QWidget* parent) {
  auto* control = new CShockwaveFlash(parent, 1021);
  control->LoadMovie(0, QString::fromStdString(GetProgramDir()) + QStringLiteral("tutorial.swf"));
  return control;
}
