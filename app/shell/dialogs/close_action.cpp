#include "app/shell/dialogs/close_action.h"

int ResolveCloseAction(Settings& settings, const CloseActionAsker& ask) {
  if (settings.CloseAction != 0) return settings.CloseAction;
  std::optional<CloseChoice> choice = ask(settings.CloseActionLastTimeUsed);
  if (!choice) return 0;
  settings.CloseActionLastTimeUsed = choice->action;
  if (choice->doNotAskAgain) settings.CloseAction = choice->action;
  return choice->action;
}
