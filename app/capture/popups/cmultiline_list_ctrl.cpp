#include "app/capture/popups/cmultiline_list_ctrl.h"

#include <QHeaderView>
#include <QPainter>
#include <QSvgRenderer>

#include "app/capture/popups/popup_texts.h"

static void InitHistoryPictures() { Q_INIT_RESOURCE(popups); }

namespace {

const QColor kSelected(226, 240, 194);

class RowDelegate : public QStyledItemDelegate {
 public:
  explicit RowDelegate(CMultilineListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), CMultilineListCtrl::kRowHeight};
  }

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const CaptureHistoryRow* record = list_->RecordOfRow(index.row());
    const QRect r = option.rect;
    p->save();
    p->fillRect(r, (option.state & QStyle::State_Selected) ? kSelected : QColor(Qt::white));
    if (record && index.column() == 0) {
      const QRect picture(r.left() + 5, r.top() + 5, 74, r.height() - 10);
      if (!record->thumbnail.isNull()) {
        p->setRenderHint(QPainter::SmoothPixmapTransform);
        p->drawImage(picture, record->thumbnail);
      } else {
        QSvgRenderer svg(IsAudioPattern(record->typePattern) ? QStringLiteral(":/popups/thumb_audio.svg")
                                                              : QStringLiteral(":/popups/thumb_video.svg"));
        svg.render(p, picture);
      }
    } else if (record && index.column() == 1) {
      p->setFont(option.font);
      p->setPen(QColor(0x2b, 0x2f, 0x33));
      const QString address =
          CMultilineListCtrl::FitAddress(QString::fromStdString(record->address), option.fontMetrics, r.width() - 5);
      p->drawText(r, Qt::AlignLeft | Qt::AlignTop, CMultilineListCtrl::RowText(*record, address));
    }
    p->restore();
  }

 private:
  CMultilineListCtrl* list_;
};

}  // namespace

CMultilineListCtrl::CMultilineListCtrl(QWidget* parent) : QTreeWidget(parent) {
  InitHistoryPictures();
  setColumnCount(2);
  setHeaderLabels({QStringLiteral(" Thumbnail "), QStringLiteral(" URL and FileType ")});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new RowDelegate(this));
  header()->setStretchLastSection(true);
  header()->setSectionResizeMode(0, QHeaderView::Fixed);
  setColumnWidth(0, kThumbnailColumnWidth);
  setStyleSheet(QStringLiteral("QTreeWidget { background: white; }"));
}

void CMultilineListCtrl::SetRecords(const std::vector<CaptureHistoryRow>* rows) {
  records_ = rows;
  viewport()->update();
}

const CaptureHistoryRow* CMultilineListCtrl::RecordOfRow(int row) const {
  if (!records_ || row < 0 || row >= static_cast<int>(records_->size())) return nullptr;
  return &(*records_)[records_->size() - 1 - row];
}

QString CMultilineListCtrl::RowText(const CaptureHistoryRow& record, const QString& shownAddress) {
  const CaptureTime& t = record.time;
  return QString::asprintf("\n %s \n Capture Time: %04d-%02d-%02d %02d:%02d:%02d          File Type:%s",
                           shownAddress.toUtf8().constData(), t.year, t.month, t.day, t.hour, t.minute, t.second,
                           record.typePattern.c_str());
}

QString CMultilineListCtrl::FitAddress(const QString& address, const QFontMetrics& metrics, int width) {
  // Measured as drawn: with the spaces that frame it in the row text.
  auto fits = [&](const QString& s) { return metrics.horizontalAdvance(QStringLiteral(" ") + s + QStringLiteral(" ")) <= width; };
  if (fits(address)) return address;
  int low = 0, high = address.size();  // longest prefix that fits with "..."
  while (low < high) {
    const int mid = (low + high + 1) / 2;
    if (fits(address.left(mid) + QStringLiteral("..."))) low = mid;
    else high = mid - 1;
  }
  return address.left(low) + QStringLiteral("...");
}
