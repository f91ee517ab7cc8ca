#include "app/HexGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>

namespace kaldo {

namespace {
constexpr int kGridLine = 1;
}

TGridCells::TGridCells(int colCount, int rowCount, QObject* parent)
    : QAbstractTableModel(parent),
      cols_(colCount),
      rows_(rowCount),
      cells_(static_cast<std::size_t>(colCount) * static_cast<std::size_t>(rowCount)) {}

void TGridCells::Changed(int firstRow, int lastRow) {
  emit dataChanged(index(firstRow - 1, 0), index(lastRow - 1, cols_ - 2), {Qt::DisplayRole});
}

void TGridCells::HeadingsChanged() {
  emit headerDataChanged(Qt::Horizontal, 0, cols_ - 2);
  emit headerDataChanged(Qt::Vertical, 0, rows_ - 2);
}

int TGridCells::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_ - 1;
}

int TGridCells::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_ - 1;
}

QVariant TGridCells::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return Cell(index.column() + 1, index.row() + 1);
}

QVariant TGridCells::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(orientation == Qt::Horizontal
                                   ? Qt::Alignment(Qt::AlignCenter)
                                   : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  if (role != Qt::DisplayRole) return {};
  return orientation == Qt::Horizontal ? Cell(section + 1, 0) : Cell(0, section + 1);
}

Qt::ItemFlags TGridCells::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TGridCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  // Plain cells show the view's background; only the selected or focused cell needs the style.
  if (selected || (option.state & QStyle::State_HasFocus)) {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    o.text.clear();
    const QWidget* view = o.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, painter, view);
  }
  painter->save();
  painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(option.font);
  painter->drawText(option.rect, Qt::AlignCenter, index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QSize TGridScrollBar::sizeHint() const {
  QSize size = QScrollBar::sizeHint();
  if (extent_ > 0 && orientation() == Qt::Vertical) size.setWidth(extent_);
  return size;
}

TStringGrid::TStringGrid(int colCount, int rowCount, int defaultColWidth, int rowHeight,
                         QWidget* parent)
    : QTableView(parent),
      cells_(colCount, rowCount, this),
      defaultColWidth_(defaultColWidth),
      rowHeight_(rowHeight),
      colWidth0_(defaultColWidth),
      painter_(this),
      bar_(new TGridScrollBar(Qt::Vertical, this)) {
  setModel(&cells_);
  setItemDelegate(&painter_);
  setVerticalScrollBar(bar_);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setShowGrid(true);
  setGridStyle(Qt::SolidLine);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);

  for (QHeaderView* heading : {horizontalHeader(), verticalHeader()}) {
    heading->setSectionResizeMode(QHeaderView::Fixed);
    heading->setMinimumSectionSize(1);
    heading->setSectionsClickable(false);
    heading->setHighlightSections(false);
  }
  horizontalHeader()->setDefaultSectionSize(defaultColWidth + kGridLine);
  horizontalHeader()->setFixedHeight(rowHeight + kGridLine);
  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  verticalHeader()->setDefaultSectionSize(rowHeight + kGridLine);
  verticalHeader()->setFixedWidth(colWidth0_ + kGridLine);

  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TStringGrid::TopLeftChanged);
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
  FitScrollBar();
  QTableView::resizeEvent(event);
}

void TStringGrid::FitScrollBar() {
  const int columns = (cells_.ColCount() - 1) * (defaultColWidth_ + kGridLine);
  const int room = width() - 2 * frameWidth() - verticalHeader()->width() - columns;
  bar_->SetExtent(std::max(room, 0));
  bar_->updateGeometry();
}

void TStringGrid::SetColWidth0(int width) {
  colWidth0_ = width;
  verticalHeader()->setFixedWidth(width + kGridLine);
  FitScrollBar();
}

int TStringGrid::TopRow() const {
  return verticalScrollBar()->value() + 1;
}

void TStringGrid::SetTopRow(int row) {
  verticalScrollBar()->setValue(row - 1);
}

int TStringGrid::VisibleRowCount() const {
  return viewport()->height() / (rowHeight_ + kGridLine);
}

int TStringGrid::ClientHeightFor(int dataRows) const {
  return (dataRows + 1) * (rowHeight_ + kGridLine);
}

}  // namespace kaldo
