#include "ui/dialogs/pairlisteditor.h"

#include <QAction>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/textutil.h"
#include "ui/dialogs/charreplace.h"

namespace zembrio {

namespace {

constexpr int kPairRowHeight = 16;
const QChar kArrow(0x21E8);  // outlined right arrow
const QColor kBandColour(240, 240, 240);

// The entry's encoded source: the text before its first "=".
std::string EncodedSource(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

// The arrow's font: the list's own family when it has the glyph, else a common one that
// does; Qt falls back by itself when none of them is installed.
QFont ArrowFont(const QFont& base) {
  static const QString family = [&base] {
    for (const QString& candidate :
         {base.family(), QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans Symbols2"),
          QStringLiteral("FreeSerif")}) {
      QFont font(candidate);
      if (QFontMetrics(font).inFontUcs4(kArrow.unicode()))
        return candidate;
    }
    return base.family();
  }();
  QFont font(family);
  font.setPixelSize(11);
  return font;
}

// A text on a box of the window colour exactly as large as the text.
void DrawBoxedText(QPainter& painter, const QPoint& topLeft, const QString& text,
                   const QPalette& palette) {
  QFontMetrics metrics(painter.font());
  QRect box(topLeft, QSize(metrics.horizontalAdvance(text), metrics.height()));
  painter.fillRect(box, palette.color(QPalette::Base));
  painter.setPen(palette.color(QPalette::Text));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace

void TPairItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const TPair pair = DecodePair(index.data(Qt::UserRole).toString().toStdString());
  const QString name = QString::fromStdString(pair.Source);
  const QString value = QString::fromStdString(pair.Replacement);
  const QRect& r = option.rect;
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;

  painter->save();
  painter->setFont(option.font);
  const int w = QFontMetrics(option.font).horizontalAdvance(name);
  const QColor background = selected ? palette.color(QPalette::Highlight) : kBandColour;
  painter->fillRect(r, background);

  const QFont arrowFont = ArrowFont(option.font);
  const QFontMetrics arrowMetrics(arrowFont);
  const int a = arrowMetrics.horizontalAdvance(kArrow);
  painter->setFont(arrowFont);
  painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(QRect(r.left() + w + 10, r.top() + 3, a, r.height() - 3),
                    Qt::AlignLeft | Qt::AlignTop, QString(kArrow));

  painter->setPen(palette.color(QPalette::Base));
  painter->drawLine(r.left(), r.top(), r.right(), r.top());

  painter->setFont(option.font);
  DrawBoxedText(*painter, QPoint(r.left() + 2, r.top() + 2), name, palette);
  DrawBoxedText(*painter, QPoint(r.left() + w + a + 17, r.top() + 2), value, palette);
  painter->restore();
}

QSize TPairItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  return {QStyledItemDelegate::sizeHint(option, index).width(), kPairRowHeight};
}

TPairListEditor::TPairListEditor(QWidget* parent) : QWidget(parent) {
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("lbPairs"));
  list_->setItemDelegate(new TPairItemDelegate(list_));
  list_->setUniformItemSizes(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);

  acRCAdd = new QAction(QStringLiteral("Ajouter"), this);
  acRCEdit = new QAction(QStringLiteral("Editer"), this);
  acRCDelete = new QAction(QStringLiteral("Supprimer"), this);
  acRCDefault = new QAction(QStringLiteral("Standard"), this);
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  list_->addActions({acRCAdd, acRCEdit, acRCDelete, separator, acRCDefault});

  auto* toolbar = new QToolBar(this);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolbar->addActions({acRCAdd, acRCEdit, acRCDelete});
  toolbar->addSeparator();
  toolbar->addAction(acRCDefault);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(toolbar);
  layout->addWidget(list_);

  connect(acRCAdd, &QAction::triggered, this, [this] {
    EditPair(true);
    UpdatePairActions();
  });
  connect(acRCEdit, &QAction::triggered, this, [this] { EditPair(false); });
  connect(acRCDelete, &QAction::triggered, this, &TPairListEditor::DeleteSelectedPair);
  connect(acRCDefault, &QAction::triggered, this, &TPairListEditor::AddStandardPairs);
  connect(list_, &QListWidget::itemSelectionChanged, this, &TPairListEditor::UpdatePairActions);
  // A double click on an empty part of the list with no selection does nothing, since
  // EditPair needs a selected entry.
  connect(list_, &QListWidget::doubleClicked, this, [this] { EditPair(false); });
  UpdatePairActions();
}

void TPairListEditor::SetPairs(const TPairList& pairs) {
  pairs_ = pairs;
  Refill();
  SelectIndex(-1);
  UpdatePairActions();
}

int TPairListEditor::SelectedIndex() const {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void TPairListEditor::SelectIndex(int index) {
  if (index < 0 || index >= list_->count()) {
    list_->clearSelection();
    list_->setCurrentRow(-1, QItemSelectionModel::Clear);
  } else {
    list_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
  }
}

void TPairListEditor::Refill() {
  const int selected = SelectedIndex();
  const QSignalBlocker blocker(list_);
  list_->clear();
  for (const std::string& entry : pairs_) {
    auto* item = new QListWidgetItem(list_);
    item->setData(Qt::UserRole, QString::fromStdString(entry));
  }
  if (selected >= 0 && selected < list_->count())
    list_->setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
}

int TPairListEditor::IndexOfSource(const std::string& encodedSource) const {
  for (size_t i = 0; i < pairs_.size(); ++i)
    if (SameTextAsciiCase(EncodedSource(pairs_[i]), encodedSource))
      return static_cast<int>(i);
  return -1;
}

void TPairListEditor::EditPair(bool isNew) {
  const int selected = SelectedIndex();
  if (!isNew && selected < 0)
    return;
  TfrmCharReplace editor(this);
  if (!isNew) {
    const std::string source = EncodedSource(pairs_[selected]);
    editor.leSrc->setText(QString::fromStdString(HexDecode(source)));
    const TPair first = DecodePair(pairs_[IndexOfSource(source)]);
    editor.leDst->setText(QString::fromStdString(first.Replacement));
    editor.leDst->setFocus();
  } else {
    editor.leSrc->setFocus();
  }
  editor.OKBtn->setEnabled(true);
  if (editor.exec() != QDialog::Accepted)
    return;
  StorePair(isNew, editor.leSrc->text().toStdString(), editor.leDst->text().toStdString());
}

void TPairListEditor::StorePair(bool isNew, const std::string& source,
                                const std::string& replacement) {
  const std::string entry = HexEncode(source) + "=" + HexEncode(replacement);
  const int existing = IndexOfSource(HexEncode(source));
  const int selected = SelectedIndex();
  if (existing >= 0)
    pairs_[existing] = entry;
  else if (isNew)
    pairs_.push_back(entry);
  else if (selected >= 0)
    pairs_[selected] = entry;
  Refill();
}

void TPairListEditor::DeleteSelectedPair() {
  const int selected = SelectedIndex();
  if (selected >= 0) {
    pairs_.erase(pairs_.begin() + selected);
    Refill();
    SelectIndex(std::min(selected, static_cast<int>(pairs_.size()) - 1));
  }
  UpdatePairActions();
}

void TPairListEditor::AddStandardPairs() {
  AddDefaultPairs(pairs_);
  Refill();
  UpdatePairActions();
}

void TPairListEditor::UpdatePairActions() {
  const bool hasSelection = SelectedIndex() >= 0;
  acRCEdit->setEnabled(hasSelection);
  acRCDelete->setEnabled(hasSelection);
}

}  // namespace zembrio
