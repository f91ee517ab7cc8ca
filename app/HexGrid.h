// A grid of text cells with one fixed heading row and column, like a string grid: the model keeps
// whatever was last written to each cell and shows nothing else. Row 0 and column 0 are the
// headings; rows 1.. and columns 1.. are the data cells.
#pragma once

#include <QAbstractTableModel>
#include <QScrollBar>
#include <QString>
#include <QStyledItemDelegate>
#include <QTableView>
#include <vector>

namespace kaldo {

class TGridCells : public QAbstractTableModel {
  Q_OBJECT

 public:
  TGridCells(int colCount, int rowCount, QObject* parent = nullptr);

  int ColCount() const { return cols_; }
  int RowCount() const { return rows_; }
  const QString& Cell(int col, int row) const { return cells_[Index(col, row)]; }
  // Writes the text only; the view learns of it through Changed.
  void SetCell(int col, int row, const QString& text) { cells_[Index(col, row)] = text; }
  // Tells the views that the data cells of rows first..last (grid rows) have new texts.
  void Changed(int firstRow, int lastRow);
  void HeadingsChanged();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::size_t Index(int col, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(col);
  }

  int cols_;
  int rows_;
  std::vector<QString> cells_;
};

// Draws a cell's text whole, centred, in cells narrower than the usual item margins allow.
class TGridCellPainter : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

// A vertical scroll bar as wide as the grid leaves room for beside its columns.
class TGridScrollBar : public QScrollBar {
 public:
  using QScrollBar::QScrollBar;
  void SetExtent(int width) { extent_ = width; }
  QSize sizeHint() const override;

 private:
  int extent_ = 0;
};

class TStringGrid : public QTableView {
  Q_OBJECT

 public:
  // Cell sizes without the one-pixel grid line that follows each cell.
  TStringGrid(int colCount, int rowCount, int defaultColWidth, int rowHeight,
              QWidget* parent = nullptr);

  TGridCells& Cells() { return cells_; }
  const TGridCells& Cells() const { return cells_; }

  int DefaultColWidth() const { return defaultColWidth_; }
  void SetColWidth0(int width);
  int ColWidth0() const { return colWidth0_; }

  // Index of the top visible data row (1 ..) and the number of whole data rows in view.
  int TopRow() const;
  void SetTopRow(int row);
  int VisibleRowCount() const;
  // Client height that shows exactly `dataRows` rows below the heading row.
  int ClientHeightFor(int dataRows) const;

 signals:
  // The top-left visible cell changed: by the scroll bar, the wheel or the keys.
  void TopLeftChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FitScrollBar();

  TGridCells cells_;
  int defaultColWidth_;
  int rowHeight_;
  int colWidth0_;
  TGridCellPainter painter_;
  TGridScrollBar* bar_;
};

}  // namespace kaldo
