// The splitter rules of the main window: the first split of the rows from
// the client height, and how a column keeps its lower pane's height.
#pragma once

struct InitialRows {
  int treeRow;           // upper left
  int playerRow;         // lower left
  int logRemembered;     // lower right
  int playerRemembered;  // lower left
};

// From the frame's client height h: with a = h - 80, the player row gets 240
// and the tree the rest once a reaches 500, else both get a / 2 (at least 1).
InitialRows InitialSplit(int clientHeight);

struct RowHeights {
  int upper;
  int lower;
};

// The lower row keeps its remembered height; the upper gets the rest, or 0
// (and the lower the whole height) when nothing is left.
RowHeights FitLowerRow(int total, int rememberedLower);
