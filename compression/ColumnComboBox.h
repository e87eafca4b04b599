// CColumnComboBox: the two-column filter / coding-layer combo box of the
// compression settings dialogs. The open list shows both full texts in a
// small table with separator lines; the closed field shows the filter name
// and a short form of the coding layer.
#pragma once

#include <QComboBox>

class CColumnComboBox : public QComboBox {
  Q_OBJECT
public:
  explicit CColumnComboBox(QWidget* parent = nullptr);

  // Abbreviation set 1 ("Standard"/"Fast") or 2 ("Fast (FE)"/"Fast (FR)"/"Standard").
  void SetAbbreviationSet(int set);
  // Adds a row: filter column text and coding layer column text.
  void AddRow(const QString& filter, const QString& codingLayer);
  QString FilterText(int row) const;
  QString CodingLayerText(int row) const;
  // The text the closed field shows for `row`: "filter, short form", or the
  // filter alone when the coding layer has no short form.
  QString ClosedText(int row) const;

  // The item text (Qt::DisplayRole) is the filter; the full coding layer
  // text is kept in this role, the accessible row text in Qt::AccessibleTextRole.
  static constexpr int CodingLayerRole = Qt::UserRole + 1;
  // Column widths of the open list and its least width (with borders).
  static constexpr int kFilterColumnWidth = 90;
  static constexpr int kCodingLayerColumnWidth = 180;
  static constexpr int kListWidth = kFilterColumnWidth + 7 + kCodingLayerColumnWidth + 1;

  int AbbreviationSet() const { return m_nAbbreviationSet; }
  // The short form of `codingLayer` in abbreviation set `set`; empty when
  // the text is not one of the known full texts.
  static QString ShortCodingLayer(int set, const QString& codingLayer);
  // Width of column 0 (filter) or 1 (coding layer): the standard width, or
  // more when the font needs it for the widest text of the column.
  int ColumnWidth(int column) const;
  // Least width of the open list, borders included.
  int ListWidth() const;
  // Height of one row of the open list.
  int RowHeight() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  void showPopup() override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void KeepPopupOnScreen();
  void UpdateAccessibleDescription();

  int m_nAbbreviationSet = 1;
};
