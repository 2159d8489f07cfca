#include "app/shell/row_splitter.h"

#include "app/shell/frame_layout.h"

void RowSplitter::ApplyRows() {
  if (count() < 2) return;
  const int total = height() - handleWidth();
  RowHeights rows = FitLowerRow(total, remembered_);
  setSizes({rows.upper, rows.lower});
  laidOut_ = true;
}

void RowSplitter::resizeEvent(QResizeEvent* event) {
  // A height the user dragged to is taken over before the new layout.
  if (laidOut_ && count() >= 2 && !widget(1)->isHidden()) {
    const int lower = sizes().value(1);
    if (lower > 0) remembered_ = lower;
  }
  QSplitter::resizeEvent(event);
  if (count() >= 2 && !widget(1)->isHidden()) ApplyRows();
}
