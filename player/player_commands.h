// Command ids of the player's menu, context menu and accelerators.
#pragma once

enum PlayerCommand : int {
  ID_FILE_OPEN = 57601,
  ID_FILE_OPEN_URL = 32798,
  ID_FILE_CLOSE_MOVIE = 32783,
  ID_FILE_CLEAR_HISTORY = 32801,
  ID_FILE_MRU_FIRST = 57616,  // "Recent files"; entries 57616 + n
  ID_APP_EXIT = 57665,
  ID_PLAY_PAUSE = 32771,
  ID_STOP = 32774,
  ID_BACKWARD = 32775,
  ID_FORWARD = 32776,
  ID_MUTE = 32777,
  ID_REPEAT = 32799,
  ID_ZOOM_50 = 32779,
  ID_ZOOM_100 = 32780,
  ID_ZOOM_200 = 32781,
  ID_FULL_SCREEN = 32782,
  ID_TOP_ALWAYS = 32803,
  ID_TOP_WHEN_PLAYING = 32808,
  ID_TOP_NEVER = 32805,
  ID_APP_ABOUT = 57664,
};

// Window messages of the player (numbers shared with other processes and
// the bar's own notifications).
enum PlayerMessage : unsigned {
  WM_OPEN_FORWARDED = 2004,     // read the forward file and open what it names
  WM_RAISE_INSTANCE = 2005,     // restore and bring the frame to the front
  WM_SLIDER_NOTIFY = 3024,      // slider -> bar
  WM_PLAY_STATE_CHANGED = 3025, // bar -> view
};
