#include "app/shell/dialogs/dlg_options_prompt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/message_box.h"

bool ParseWholeNumber(const QString& text, int* out) {
  bool ok = false;
  int value = text.trimmed().toInt(&ok, 10);
  if (ok) *out = value;
  return ok;
}

namespace {

QToolButton* MakeArrow(Qt::ArrowType arrow, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
  return button;
}

}  // namespace

CDlgOptionsPrompt::CDlgOptionsPrompt(const Settings& settings, QWidget* parent)
    : COptionsPage(parent) {
  auto* layout = new QVBoxLayout(this);
  sound_ = new QCheckBox(QStringLiteral(" Enable sound notification."), this);
  sound_->setObjectName(QStringLiteral("1078"));
  sound_->setChecked(settings.PlaySound);
  finishPop_ = new QCheckBox(QStringLiteral(" Show notification window when download is completed."), this);
  finishPop_->setObjectName(QStringLiteral("1081"));
  finishPop_->setChecked(settings.ShowFinishPopWnd);
  manual_ = new QRadioButton(QStringLiteral(" Pop-up window will be closed manually."), this);
  manual_->setObjectName(QStringLiteral("1073"));
  automatic_ = new QRadioButton(QStringLiteral(" Pop-up window will be closed automatically after"), this);
  automatic_->setObjectName(QStringLiteral("1082"));
  (settings.ClosePopWndWay == 0 ? manual_ : automatic_)->setChecked(true);

  seconds_ = new QLineEdit(QString::number(settings.ClosePopWndSeconds), this);
  seconds_->setObjectName(QStringLiteral("1076"));
  seconds_->setFixedWidth(seconds_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
  seconds_->setAlignment(Qt::AlignRight);
  // The spin control: two arrow buttons beside the edit, as one column.
  spin_ = new QWidget(this);
  spin_->setObjectName(QStringLiteral("1085"));
  auto* arrows = new QVBoxLayout(spin_);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  up_ = MakeArrow(Qt::UpArrow, spin_);
  down_ = MakeArrow(Qt::DownArrow, spin_);
  arrows->addWidget(up_);
  arrows->addWidget(down_);
  spin_->setFixedHeight(seconds_->sizeHint().height());

  auto* secondsRow = new QHBoxLayout;
  secondsRow->setSpacing(4);
  secondsRow->addWidget(automatic_);
  secondsRow->addWidget(seconds_);
  secondsRow->addWidget(spin_);
  secondsRow->addWidget(new QLabel(QStringLiteral("seconds."), this));
  secondsRow->addStretch(1);

  layout->addWidget(sound_);
  layout->addWidget(finishPop_);
  layout->addSpacing(8);
  layout->addWidget(manual_);
  layout->addLayout(secondsRow);
  layout->addStretch(1);

  connect(manual_, &QRadioButton::toggled, this, &CDlgOptionsPrompt::UpdateSecondsEnabled);
  connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
  connect(seconds_, &QLineEdit::editingFinished, this, &CDlgOptionsPrompt::ClampSeconds);
  UpdateSecondsEnabled();
}

void CDlgOptionsPrompt::UpdateSecondsEnabled() {
  const bool on = automatic_->isChecked();
  seconds_->setEnabled(on);
  spin_->setEnabled(on);
}

void CDlgOptionsPrompt::Step(int delta) {
  int value = 0;
  if (!ParseWholeNumber(seconds_->text(), &value)) value = delta > 0 ? kMinSeconds - 1 : kMinSeconds + 1;
  seconds_->setText(QString::number(std::clamp(value + delta, kMinSeconds, kMaxSeconds)));
}

void CDlgOptionsPrompt::ClampSeconds() {
  int value = 0;
  if (!ParseWholeNumber(seconds_->text(), &value)) return;
  seconds_->setText(QString::number(std::clamp(value, kMinSeconds, kMaxSeconds)));
}

void CDlgOptionsPrompt::Apply(Settings& settings) {
  settings.ShowFinishPopWnd = finishPop_->isChecked() ? 1 : 0;
  settings.PlaySound = sound_->isChecked() ? 1 : 0;
  settings.ClosePopWndWay = manual_->isChecked() ? 0 : 1;
  int value = 0;
  if (ParseWholeNumber(seconds_->text(), &value)) {
    // The field is clamped when it loses the focus; "OK" by keyboard may
    // come before that, and a popup must not close at once or never.
    settings.ClosePopWndSeconds = std::clamp(value, kMinSeconds, kMaxSeconds);
  } else {
    platform::ShowMessageBox("Tamborel", "Enter an integer.",
                             platform::MB_OK | platform::MB_ICONWARNING);
  }
}
