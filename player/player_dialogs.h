// The dialogs the view opens, behind one interface so tests can answer them.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

class PlayerDialogs {
 public:
  virtual ~PlayerDialogs() = default;
  // Empty when cancelled.
  virtual QString OpenMovieFile(QWidget* parent) = 0;
  virtual QString SaveCopyAs(QWidget* parent, const QString& initialName) = 0;
  // The accepted address of "Open URL...", nothing when cancelled.
  virtual std::optional<QString> OpenUrl(QWidget* parent, const QStringList& recent) = 0;
  virtual void About(QWidget* parent) = 0;
};

// The real dialogs.
class QtPlayerDialogs : public PlayerDialogs {
 public:
  QString OpenMovieFile(QWidget* parent) override;
  QString SaveCopyAs(QWidget* parent, const QString& initialName) override;
  std::optional<QString> OpenUrl(QWidget* parent, const QStringList& recent) override;
  void About(QWidget* parent) override;
};
