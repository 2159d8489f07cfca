// "Tamborel Tutorial": the tutorial movie and the choice not to see it at
// the next start.
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QPushButton;

class CDlgTutorial : public QDialog {
  Q_OBJECT
 public:
  // Makes the movie's control (the Flash control, id 1021, with the
  // tutorial loaded) as a child of the dialog.
  using MovieFactory = std::function<QWidget*(QWidget* parent)>;

  // Runs the dialog modally; true when "Do not show this tutorial on
  // startup" was ticked when it closed.
  static bool Run(QWidget* parent, const MovieFactory& makeMovie);

  CDlgTutorial(const MovieFactory& makeMovie, QWidget* parent = nullptr);

  bool DoNotShowAgain() const;
  QCheckBox* doNotShowBox() const { return doNotShow_; }
  QPushButton* closeButton() const { return close_; }
  QWidget* movie() const { return movie_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* movie_ = nullptr;
  QCheckBox* doNotShow_;
  QPushButton* close_;
};
