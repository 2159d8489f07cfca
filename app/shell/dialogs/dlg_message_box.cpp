#include "app/shell/dialogs/dlg_message_box.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QThread>

#include "app/shell/dialogs/dialog_layout.h"

namespace {

struct ButtonSpec {
  const char* label;
  int result;
};

// The buttons of a style's low four bits, left to right; empty when the box
// has no such set.
std::vector<ButtonSpec> ButtonsOf(uint32_t style) {
  constexpr ButtonSpec kOk{"Ok", platform::IDOK};
  constexpr ButtonSpec kCancel{"Cencel", platform::IDCANCEL};
  constexpr ButtonSpec kYes{"Yes", platform::IDYES};
  constexpr ButtonSpec kNo{"No", platform::IDNO};
  constexpr ButtonSpec kRetry{"Retry", CDlgMessageBox::kIdRetry};
  switch (style & 0x0F) {
    case 0: return {kOk};
    case 1: return {kOk, kCancel};
    case 3: return {kYes, kNo, kCancel};
    case 4: return {kYes, kNo};
    case 5: return {kRetry, kCancel};
    case 6: return {kCancel, {"Retry", CDlgMessageBox::kIdTryAgain}, {"Continue", CDlgMessageBox::kIdContinue}};
    default: return {};
  }
}

QStyle::StandardPixmap IconOf(uint32_t style, bool* has_icon) {
  *has_icon = true;
  switch (style & 0xF0) {
    case 0x10: return QStyle::SP_MessageBoxCritical;
    case 0x20: return QStyle::SP_MessageBoxQuestion;
    case 0x30: return QStyle::SP_MessageBoxWarning;
    case 0x40: return QStyle::SP_MessageBoxInformation;
    default: *has_icon = false; return QStyle::SP_MessageBoxInformation;
  }
}

constexpr int kWidth = 450;
constexpr int kHeight = 250;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 25;
constexpr int kButtonTop = 210;
constexpr int kButtonPitch = 70;

}  // namespace

bool CDlgMessageBox::CanShow(const QString& text, uint32_t style) {
  return !text.isEmpty() && !ButtonsOf(style).empty();
}

int CDlgMessageBox::Run(const QString& text, const QString& caption, uint32_t style) {
  if (!CanShow(text, style)) return 0;
  CDlgMessageBox box(text, caption, style);
  return box.exec();
}

CDlgMessageBox::CDlgMessageBox(const QString& text, const QString& caption, uint32_t style,
                               QWidget* parent)
    : QDialog(parent), style_(style) {
  setWindowTitle(caption.isEmpty() ? QStringLiteral("Error") : caption);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  setFixedSize(kWidth, kHeight);

  bool has_icon = false;
  QStyle::StandardPixmap icon = IconOf(style, &has_icon);
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("text"));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  if (has_icon) {
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("icon"));
    picture->setProperty("standardIcon", static_cast<int>(icon));
    picture->setGeometry(5, 5, 40, 40);
    picture->setPixmap(QApplication::style()->standardIcon(icon).pixmap(40, 40));
    label->setGeometry(60, 5, 380, 195);
  } else {
    label->setGeometry(5, 5, 435, 195);
  }

  const std::vector<ButtonSpec> buttons = ButtonsOf(style);
  const int n = static_cast<int>(buttons.size());
  for (int i = 0; i < n; ++i) {
    auto* button = new QPushButton(QString::fromLatin1(buttons[i].label), this);
    button->setGeometry(kWidth - kButtonPitch * n + kButtonPitch * i, kButtonTop, kButtonWidth,
                        kButtonHeight);
    const int result = buttons[i].result;
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    buttons_.push_back(button);
  }
  if (!buttons_.empty()) buttons_.front()->setDefault(true);
}

void CDlgMessageBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(this);
  if (!buttons_.empty()) buttons_.front()->setFocus();
}

void CDlgMessageBox::reject() {
  // The "Ok" and the "Yes", "No" boxes must be answered with a button.
  for (const ButtonSpec& button : ButtonsOf(style_)) {
    if (button.result == platform::IDCANCEL) {
      done(platform::IDCANCEL);
      return;
    }
  }
}

int CDlgMessageBoxSink::Show(const std::string& caption, const std::string& text, uint32_t style) {
  const QString q_text = QString::fromStdString(text);
  const QString q_caption = QString::fromStdString(caption);
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return 0;
  if (QThread::currentThread() == app->thread()) {
    return CDlgMessageBox::Run(q_text, q_caption, style);
  }
  int answer = 0;
  QMetaObject::invokeMethod(
      app, [&] { answer = CDlgMessageBox::Run(q_text, q_caption, style); },
      Qt::BlockingQueuedConnection);
  return answer;
}
