#include "app/shell/monitor_indicator.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/tamborel_style.h"

#ifdef TAMBOREL_HAVE_FLASH
#include <QVBoxLayout>

#include "core/program_dir.h"
#include "flash/installed_player_check.h"
#include "flash/shockwave_flash.h"
#endif

namespace {

#ifdef TAMBOREL_HAVE_FLASH
// The indicator movie in the Flash control (id 20002).
class FlashIndicator : public MonitorIndicator {
 public:
  explicit FlashIndicator(QWidget* parent) : MonitorIndicator(parent) {
    flash_ = new CShockwaveFlash(this, 20002);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(flash_);
    flash_->SetScaleMode(2);
    flash_->LoadMovie(0, QString::fromStdString(GetProgramDir() + "Tessikor.dll"));
    connect(flash_, &flash::FlashControl::FSCommand, this, [this](const QString& command, const QString&) {
      if (command.compare(QLatin1String("EnableMonitoring"), Qt::CaseInsensitive) == 0) emit ToggleRequested(true);
      else if (command.compare(QLatin1String("DiabaleMonitoring"), Qt::CaseInsensitive) == 0) emit ToggleRequested(false);
    });
  }
  // A missing or too old player ends the program here, after telling the user.
  bool PlayerUsable() const { return flash::VerifyInstalledPlayer(flash_); }
  void SetMonitoring(bool on) override {
    flash_->GotoFrame(on ? 1 : 2);
    if (on) flash_->Play();
    else flash_->Stop();
  }

 private:
  CShockwaveFlash* flash_;
};
#endif

// Drawn by hand: a switch with its state written beside it.
class PaintedIndicator : public MonitorIndicator {
 public:
  explicit PaintedIndicator(QWidget* parent) : MonitorIndicator(parent) { setCursor(Qt::PointingHandCursor); }
  void SetMonitoring(bool on) override {
    on_ = on;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(10, 15, 40, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(on_ ? QColor(79, 154, 58) : QColor(170, 175, 182));
    p.drawRoundedRect(track, 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(on_ ? track.right() - 10 : track.left() + 10, track.center().y()), 8, 8);
    QFont f = font();
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(QColor(43, 47, 51));
    p.drawText(QRectF(58, 0, width() - 60, height()), Qt::AlignVCenter | Qt::AlignLeft,
               on_ ? QStringLiteral("Monitor on") : QStringLiteral("Monitor off"));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit ToggleRequested(!on_);
  }

 private:
  bool on_ = true;
};

}  // namespace

MonitorIndicator* MonitorIndicator::Create(QWidget* parent) {
  MonitorIndicator* indicator = nullptr;
#ifdef TAMBOREL_HAVE_FLASH
  auto* flash = new FlashIndicator(parent);
  if (!flash->PlayerUsable()) {
    delete flash;
    return nullptr;
  }
  indicator = flash;
#else
  indicator = new PaintedIndicator(parent);
#endif
  indicator->setFixedSize(kWidth, kHeight);
  return indicator;
}
