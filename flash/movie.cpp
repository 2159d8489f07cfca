#include "flash/movie.h"

#include <QMouseEvent>
#include <QPainter>

#include "flash/flash_control.h"
#include "flash/invoke_request.h"

namespace flash {

Movie::Movie(FlashControl* control) : QObject(control), control_(control) {}

Movie::~Movie() = default;

bool Movie::Invoke(std::string_view request) {
  InvokeCall named;
  if (!ParseInvokeRequest(request, &named)) return false;
  const auto it = functions_.find(named.name);
  if (it == functions_.end()) return false;
  InvokeCall call;
  if (!ParseInvokeRequest(request, it->second.arity, &call)) return false;
  Arguments args;
  args.reserve(call.arguments.size());
  for (auto& a : call.arguments) args.push_back(std::move(a.value));
  it->second.call(args);
  return true;
}

std::vector<std::string> Movie::RegisteredFunctions() const {
  std::vector<std::string> names;
  for (const auto& [name, fn] : functions_) names.push_back(name);
  return names;
}

void Movie::Paint(QPainter&) {}

void Movie::MousePress(QMouseEvent*) {}

void Movie::Register(const std::string& name, size_t arity, std::function<void(const Arguments&)> fn) {
  functions_[name] = Function{arity, std::move(fn)};
}

void Movie::Send(const QString& command, const QString& argument) {
  if (unloaded_) return;
  emit control_->FSCommand(command, argument);
}

void Movie::Repaint() { control_->update(); }

}  // namespace flash
