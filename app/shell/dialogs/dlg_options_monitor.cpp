#include "app/shell/dialogs/dlg_options_monitor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/capture/browser/installed_browsers.h"
#include "app/shell/dialogs/dlg_options_capture.h"

namespace {

// Indexed like the settings' media types: each label names the type its box
// switches.
constexpr const char* kTypeLabels[kMediaTypeCount] = {
    " Flash Video (.flv)",      " Flash Video (.f4v)",  " MPEG-4 Video (.mp4)",
    " MPEG-4 Video (.m4v)",     " Windows Media (.wmv)", " Windows Media (.asf)",
    " MPEG Video (.mpg)",       " MPEG Video (.mpeg)",  " Real Media (.rm)",
    " Real Media (.rmvb)",      " 3GP Video (.3gp)",    " 3GP Video (.3g2)",
    " Quick Time Movie (.mov)", " AVI Video (.avi)",    " MP3 Audio (.mp3)",
    " WMA Audio (.wma)",        " Shock Wave Flash (.swf)",
};

struct TypeGroup {
  const char* title;
  int first;
  int last;  // inclusive
};
constexpr TypeGroup kGroups[] = {{"Video:", 0, 13}, {"Audio:", 14, 15}, {"Flash:", 16, 16}};
constexpr int kColumns = 3;

}  // namespace

QString CDlgOptionsMonitor::TypeLabel(int index) { return QString::fromLatin1(kTypeLabels[index]); }

CDlgOptionsMonitor::CDlgOptionsMonitor(Settings& settings, QWidget* parent) : COptionsPage(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* frame = new QGroupBox(QStringLiteral("File types to be monitored"), this);
  auto* grid = new QGridLayout(frame);
  grid->setHorizontalSpacing(16);
  int row = 0;
  for (const TypeGroup& group : kGroups) {
    auto* title = new QLabel(QString::fromLatin1(group.title), frame);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    grid->addWidget(title, row++, 0, 1, kColumns);
    for (int i = group.first; i <= group.last; ++i) {
      auto* box = new QCheckBox(TypeLabel(i), frame);
      box->setObjectName(QStringLiteral("MediaType%1").arg(i));
      box->setChecked(settings.MediaTypeOn[i] != 0);
      const int k = i - group.first;
      grid->addWidget(box, row + k / kColumns, k % kColumns);
      types_[i] = box;
    }
    row += (group.last - group.first) / kColumns + 1;
  }
  layout->addWidget(frame);

  programs_ = new QPushButton(QStringLiteral("Programs to be monitored..."), this);
  programs_->setObjectName(QStringLiteral("1075"));
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(programs_);
  buttonRow->addStretch(1);
  layout->addLayout(buttonRow);
  layout->addStretch(1);

  connect(programs_, &QPushButton::clicked, this, [this, &settings] {
    CDlgOptionsCapture dialog(settings, this, browserhost::InstalledBrowsers());
    dialog.exec();
  });
}

void CDlgOptionsMonitor::Apply(Settings& settings) {
  for (int i = 0; i < kMediaTypeCount; ++i) settings.MediaTypeOn[i] = types_[i]->isChecked() ? 1 : 0;
}
