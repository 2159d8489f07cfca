#include "app/shell/dialogs/option_dlg.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/shell/dialogs/dialog_layout.h"
#include "app/shell/frame_hooks.h"
#include "app/shell/dialogs/dlg_options_general.h"
#include "app/shell/dialogs/dlg_options_monitor.h"
#include "app/shell/dialogs/dlg_options_prompt.h"

namespace {
int g_rememberedTab = 0;
}  // namespace

int COptionDlg::RememberedTab() { return g_rememberedTab; }

COptionDlg::COptionDlg(Settings& settings, platform::WindowServices* frame,
                       const QString& programPath, QWidget* parent)
    : QDialog(parent), settings_(settings), frame_(frame) {
  PrepareFixedDialog(this, QStringLiteral("Options"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("1012"));
  general_ = new CDlgOptionsGeneral(settings, programPath, tabs_);
  prompt_ = new CDlgOptionsPrompt(settings, tabs_);
  monitor_ = new CDlgOptionsMonitor(settings, tabs_);
  tabs_->addTab(general_, QStringLiteral("General"));
  tabs_->addTab(prompt_, QStringLiteral("Prompt"));
  tabs_->addTab(monitor_, QStringLiteral("Monitor"));
  tabs_->setCurrentIndex(g_rememberedTab);
  connect(tabs_, &QTabWidget::currentChanged, this, [](int index) { g_rememberedTab = index; });
  layout->addWidget(tabs_);
  layout->addWidget(MakeOkCancel(this));
}

void COptionDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CentreOnScreen(this);
  }
}

void COptionDlg::accept() {
  general_->Apply(settings_);
  prompt_->Apply(settings_);
  monitor_->Apply(settings_);
  QDialog::accept();
  if (frame_) frame_->Post(shell::UM_OPTIONS_CLOSED, 0, 0);
}
