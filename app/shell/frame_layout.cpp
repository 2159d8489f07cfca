#include "app/shell/frame_layout.h"

#include <algorithm>

InitialRows InitialSplit(int clientHeight) {
  const int a = clientHeight - 80;
  InitialRows r{};
  if (a >= 500) {
    r.playerRow = 240;
    r.treeRow = a - 240;
  } else {
    r.playerRow = r.treeRow = std::max(1, a / 2);
  }
  r.logRemembered = std::max(0, a / 3);
  r.playerRemembered = r.playerRow;
  return r;
}

RowHeights FitLowerRow(int total, int rememberedLower) {
  const int rest = total - rememberedLower;
  if (rest < 0) return {0, total};
  return {rest, rememberedLower};
}
