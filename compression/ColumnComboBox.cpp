#include "ColumnComboBox.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <algorithm>

namespace {

// Text and background of an item, from the palette's normal colours: a
// disabled combo keeps its text colour and changes to the button face.
struct ItemColours {
  QColor text;
  QColor background;
};

ItemColours ColoursFor(const QPalette& palette, bool enabled, bool selected) {
  const QPalette::ColorGroup group = QPalette::Active;
  ItemColours colours;
  colours.text = palette.color(group, selected && enabled ? QPalette::HighlightedText : QPalette::Text);
  if (!enabled)
    colours.background = palette.color(group, QPalette::Button);
  else
    colours.background = palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
  return colours;
}

QColor SeparatorColour(const QPalette& palette) {
  return palette.color(QPalette::Active, QPalette::Button).darker(112);
}

// Texts sit 2 pixels into their column, single line, vertically centred.
constexpr int kTextInset = 2;

void DrawColumnText(QPainter& painter, const QRect& column, const QString& text) {
  const QRect textRect = column.adjusted(kTextInset, 0, 0, 0);
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
}

void DrawFocusFrame(QPainter& painter, const QRect& rect, const QWidget* widget, const QColor& background) {
  QStyleOptionFocusRect focus;
  focus.initFrom(widget);
  focus.rect = rect;
  focus.backgroundColor = background;
  widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, widget);
}

// Draws the rows of the open list as a two-column table.
class CColumnItemDelegate : public QStyledItemDelegate {
public:
  explicit CColumnItemDelegate(CColumnComboBox* combo) : QStyledItemDelegate(combo), m_combo(combo) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const ItemColours colours = ColoursFor(m_combo->palette(), m_combo->isEnabled(), selected);
    const QRect& row = option.rect;
    painter->save();
    painter->fillRect(row, colours.background);
    if (selected)
      DrawFocusFrame(*painter, row, m_combo, colours.background);
    const QColor separator = SeparatorColour(m_combo->palette());
    if (!selected) {
      painter->setPen(separator);
      painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());
    }
    const int filterWidth = m_combo->ColumnWidth(0);
    const int split = row.left() + filterWidth;
    painter->setFont(m_combo->font());
    painter->setPen(colours.text);
    DrawColumnText(*painter, QRect(row.left(), row.top(), filterWidth, row.height()),
                   index.data(Qt::DisplayRole).toString());
    // The viewport already excludes a vertical scroll bar, so the last
    // column simply ends at the row's right edge.
    const int layerRight = std::min(row.right(), split + 1 + m_combo->ColumnWidth(1));
    DrawColumnText(*painter, QRect(QPoint(split + 1, row.top()), QPoint(layerRight, row.bottom())),
                   index.data(CColumnComboBox::CodingLayerRole).toString());
    if (!selected) {
      painter->setPen(separator);
      painter->drawLine(split, row.top(), split, row.bottom());
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {m_combo->ColumnWidth(0) + 1 + m_combo->ColumnWidth(1), m_combo->RowHeight()};
  }

private:
  CColumnComboBox* m_combo;
};

}  // namespace

CColumnComboBox::CColumnComboBox(QWidget* parent) : QComboBox(parent) {
  setItemDelegate(new CColumnItemDelegate(this));
  connect(this, &QComboBox::currentIndexChanged, this, &CColumnComboBox::UpdateAccessibleDescription);
}

// The closed field names the chosen row's coding layer only by its short
// form, so assistive tools get the full row text as the description.
void CColumnComboBox::UpdateAccessibleDescription() {
  setAccessibleDescription(itemData(currentIndex(), Qt::AccessibleTextRole).toString());
}

void CColumnComboBox::SetAbbreviationSet(int set) {
  m_nAbbreviationSet = set;
  update();
}

void CColumnComboBox::AddRow(const QString& filter, const QString& codingLayer) {
  addItem(filter);
  const int row = count() - 1;
  setItemData(row, codingLayer, CodingLayerRole);
  setItemData(row, filter + QStringLiteral(", ") + codingLayer, Qt::AccessibleTextRole);
  if (row == currentIndex())
    UpdateAccessibleDescription();
}

QString CColumnComboBox::FilterText(int row) const {
  return itemText(row);
}

QString CColumnComboBox::CodingLayerText(int row) const {
  return itemData(row, CodingLayerRole).toString();
}

QString CColumnComboBox::ClosedText(int row) const {
  if (row < 0 || row >= count())
    return {};
  const QString layer = ShortCodingLayer(m_nAbbreviationSet, CodingLayerText(row));
  return layer.isEmpty() ? FilterText(row) : FilterText(row) + QStringLiteral(", ") + layer;
}

QString CColumnComboBox::ShortCodingLayer(int set, const QString& codingLayer) {
  struct ShortForm {
    int set;
    const char* full;
    const char* brief;
  };
  static constexpr ShortForm kShortForms[] = {
      {1, "Standard Embedded Progressive", "Standard"},  {1, "Fast Embedded Progressive", "Fast"},
      {2, "Fast Embedded Progressive", "Fast (FE)"},     {2, "Fast Resolution Progressive", "Fast (FR)"},
      {2, "Standard Embedded Progressive", "Standard"}};
  for (const ShortForm& form : kShortForms)
    if (form.set == set && codingLayer == QLatin1String(form.full))
      return QString::fromLatin1(form.brief);
  return {};
}

int CColumnComboBox::ColumnWidth(int column) const {
  const QFontMetrics metrics = fontMetrics();
  int widest = 0;
  for (int row = 0; row < count(); ++row)
    widest = std::max(widest, metrics.horizontalAdvance(column == 0 ? FilterText(row) : CodingLayerText(row)));
  return std::max(column == 0 ? kFilterColumnWidth : kCodingLayerColumnWidth, widest + 2 * kTextInset);
}

int CColumnComboBox::ListWidth() const {
  return ColumnWidth(0) + 7 + ColumnWidth(1) + 1;
}

int CColumnComboBox::RowHeight() const {
  // The height of one line of text; the separator line takes the last pixel.
  return fontMetrics().height() + 1;
}

QSize CColumnComboBox::sizeHint() const {
  return minimumSizeHint();
}

QSize CColumnComboBox::minimumSizeHint() const {
  // Room for the filter column, the separator and the longest short form.
  QSize size = QComboBox::minimumSizeHint();
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect frame(0, 0, 200, size.height());
  option.rect = frame;
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  const int chrome = frame.width() - field.width();
  const int layer = fontMetrics().horizontalAdvance(QStringLiteral("Fast (FE)"));
  size.setWidth(std::max(size.width(), chrome + kTextInset + ColumnWidth(0) + 1 + kTextInset + layer + 4));
  return size;
}

void CColumnComboBox::showPopup() {
  QComboBox::showPopup();
  KeepPopupOnScreen();
}

void CColumnComboBox::KeepPopupOnScreen() {
  QWidget* popup = view()->window();
  if (popup == window())
    return;
  QRect geometry = popup->geometry();
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  geometry.setWidth(std::max(geometry.width(), ListWidth()));
  if (screen) {
    const QRect available = screen->availableGeometry();
    geometry.setWidth(std::min(geometry.width(), available.width()));
    if (geometry.right() > available.right())
      geometry.moveRight(available.right());
    if (geometry.left() < available.left())
      geometry.moveLeft(available.left());
    if (geometry.bottom() > available.bottom())
      geometry.moveBottom(available.bottom());
    if (geometry.top() < available.top())
      geometry.moveTop(available.top());
  }
  popup->setGeometry(geometry);
}

void CColumnComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);

  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  const bool selected = hasFocus() && !view()->isVisible();
  const ItemColours colours = ColoursFor(palette(), isEnabled(), selected);
  painter.fillRect(field, colours.background);
  const int row = currentIndex();
  if (row < 0)
    return;
  if (selected)
    DrawFocusFrame(painter, field, this, colours.background);
  const int split = field.left() + kTextInset + ColumnWidth(0);
  painter.setPen(colours.text);
  DrawColumnText(painter, QRect(field.left(), field.top(), split - field.left(), field.height()), FilterText(row));
  DrawColumnText(painter, QRect(QPoint(split + 1, field.top()), field.bottomRight()),
                 ShortCodingLayer(m_nAbbreviationSet, CodingLayerText(row)));
  if (!selected) {
    painter.setPen(SeparatorColour(palette()));
    painter.drawLine(split, field.top(), split, field.bottom());
  }
}
