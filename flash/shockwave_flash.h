// The thin host classes the two programs create their control through.
#pragma once

#include "flash/flash_control.h"

// Tamborel's host class.
class CShockwaveFlash : public flash::FlashControl {
  Q_OBJECT
 public:
  using flash::FlashControl::FlashControl;
};

// Pellumo's host class.
class CShockwaveflash : public flash::FlashControl {
  Q_OBJECT
 public:
  using flash::FlashControl::FlashControl;
};
