// The tutorial dialog's movie: the Flash control with "tutorial.swf" from
// the program folder loaded into layer 0.
#pragma once

class QWidget;

// A missing movie file leaves the control empty.
QWidget* MakeTutorialMovie(QWidget* parent);
