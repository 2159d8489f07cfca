#include "crashreport/dialog/dlg_faultwick.h"

#include <algorithm>

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// Dialog units to pixels with the dialog's font: x by a quarter of the
// average character width, y by an eighth of the character height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    QFontMetrics fm(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    cx_ = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
    cy_ = fm.height();
  }
  int X(int du) const { return du * cx_ / 4; }
  int Y(int du) const { return du * cy_ / 8; }
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

 private:
  int cx_ = 6;
  int cy_ = 13;
};

QLabel* AddStatic(QWidget* parent, const DialogUnits& du, const char* text, int x, int y, int w,
                  int h) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QRect r = du.Rect(x, y, w, h);
  // A one-line static does not wrap; it grows when this font is wider than
  // the one the layout was drawn for.
  bool one_line = h <= 8;
  label->setWordWrap(!one_line);
  if (one_line) r.setWidth(std::max(r.width(), label->sizeHint().width()));
  label->setGeometry(r);
  return label;
}

}  // namespace

CDlgFaultwick::CDlgFaultwick(const QString& report_text, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Error Report"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  DialogUnits du(font());
  setFixedSize(du.X(296), du.Y(226));

  AddStatic(this, du,
            "The program has encountered a problem and need to close. We are sorry for the "
            "inconvenience.",
            7, 8, 282, 18);
  AddStatic(this, du, "Please tell us this problem.", 7, 32, 86, 8);
  AddStatic(this, du,
            "We have create an error report that you can send to us to solve this problem. The "
            "following is the summary of this error report: ",
            7, 49, 282, 20);

  auto* edit = new QPlainTextEdit(this);
  edit->setObjectName(QStringLiteral("1001"));
  edit->setReadOnly(true);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit->setGeometry(du.Rect(7, 79, 282, 116));
  QString shown = report_text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edit->setPlainText(shown);

  // Button 1 is the default button but starts hidden: Enter still chooses it.
  send_ = new QPushButton(QStringLiteral("Send Report"), this);
  send_->setGeometry(du.Rect(169, 205, 50, 14));
  send_->setDefault(true);
  send_->hide();
  close_ = new QPushButton(QStringLiteral("Close"), this);
  close_->setAutoDefault(false);
  close_->setGeometry(du.Rect(239, 205, 50, 14));

  connect(send_, &QPushButton::clicked, this, [this] { done(kSendReport); });
  connect(close_, &QPushButton::clicked, this, [this] { done(kClose); });
}

void CDlgFaultwick::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter presses the button that has the focus, else the default one.
    done(focusWidget() == close_ ? kClose : kSendReport);
    return;
  }
  QDialog::keyPressEvent(event);
}

// Escape and the window's close button end the dialog as "Close" does.
void CDlgFaultwick::reject() { done(kClose); }
