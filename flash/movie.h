// A built-in movie: what a loaded control shows and does. Each movie
// registers the functions its hosts call through invoke requests, draws
// itself into the control and sends its commands back through FSCommand.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QMouseEvent;
class QPainter;

namespace flash {

class FlashControl;

class Movie : public QObject {
  Q_OBJECT
 public:
  using Arguments = std::vector<std::string>;

  explicit Movie(FlashControl* control);
  ~Movie() override;

  // Which built-in movie this is ("player", "preview", ...).
  virtual QString Kind() const = 0;

  // Parses the request with the arity of the function it names and calls
  // it; false for a malformed request or a function the movie lacks.
  bool Invoke(std::string_view request);
  std::vector<std::string> RegisteredFunctions() const;

  // The control lets go of the movie: it stops playing and sends nothing
  // more; it is deleted once the current event is done.
  virtual void Unload() { unloaded_ = true; }

  virtual void Paint(QPainter& painter);
  virtual void MousePress(QMouseEvent* event);
  virtual void Resized() {}
  virtual void GotoFrame(int) {}
  virtual void Play() {}
  virtual void Stop() {}

 protected:
  void Register(const std::string& name, size_t arity, std::function<void(const Arguments&)> fn);
  void Send(const QString& command, const QString& argument = QString(""));
  void Repaint();
  FlashControl* control() const { return control_; }

 private:
  struct Function {
    size_t arity;
    std::function<void(const Arguments&)> call;
  };
  FlashControl* control_;
  bool unloaded_ = false;
  std::map<std::string, Function> functions_;
};

// Picks the built-in movie for a file name, or nullptr for one we do not
// have (a foreign SWF leaves the control empty).
Movie* CreateMovieForFile(const QString& fileName, FlashControl* control);

}  // namespace flash
