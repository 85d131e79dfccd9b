#include "ui/files/BrowserWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>

#include "core/files/PathRule.h"
#include "ui/common/QtText.h"
#include "ui/common/Twips.h"
#include "ui/files/SoundBrowser.h"

namespace rotavox {

namespace {

std::string bytesOf(const QVariant& v) { return rotavox::bytesOf(v.toByteArray()); }

template <typename W, typename... Args>
W* named(const char* name, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)...);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

SoundListModel::SoundListModel(SoundBrowser& browser, QObject* parent) : QAbstractListModel(parent), browser_(browser) {}

int SoundListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(browser_.list().rowCount());
}

QVariant SoundListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const SoundEntry& entry = browser_.list().row(static_cast<std::size_t>(index.row()));
  const bool onPanel = entry.file == onPanel_;
  switch (role) {
    case Qt::DisplayRole: {
      QString text = (onPanel ? QString::fromUtf8("\u25B6 ") : QString()) + qs(entry.shown);
      if (const std::string error = browser_.errorOf(entry.file); !error.empty()) text += QString::fromUtf8("  \u2014 ") + qs(error);
      return text;
    }
    case Qt::ToolTipRole: {
      const std::string error = browser_.errorOf(entry.file);
      return qs(error.empty() ? readableName(entry.file) : error);
    }
    case Qt::ForegroundRole:
      if (browser_.errorOf(entry.file).empty()) return {};
      return QColor(200, 0, 0);
    case Qt::FontRole: {
      if (!onPanel) return {};
      QFont bold;
      bold.setBold(true);
      return bold;
    }
    case kFileRole: return QByteArray(entry.file.data(), static_cast<qsizetype>(entry.file.size()));
    default: return {};
  }
}

void SoundListModel::listChanged() {
  beginResetModel();
  onPanel_ = browser_.fileOnPanel();
  endResetModel();
}

void SoundListModel::rowsChanged() {
  onPanel_ = browser_.fileOnPanel();
  if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1));
}

BrowserWindow::BrowserWindow(SoundBrowser& browser, QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(browser), model_(browser, this) {
  setObjectName("F_Browser");
  setWindowTitle("Sound browser");
  setAttribute(Qt::WA_DeleteOnClose);
  resize(twips(6000), twips(7200));

  TextBrowserFolder_ = named<QLineEdit>("TextBrowserFolder");
  TextBrowserFolder_->setReadOnly(true);
  TextBrowserFolder_->setAccessibleName("Folder");
  CommandBrowserFolder_ = named<QPushButton>("CommandBrowserFolder", "&Folder\u2026");
  TextBrowserFilter_ = named<QLineEdit>("TextBrowserFilter");
  TextBrowserFilter_->setPlaceholderText("Part of a name");
  TextBrowserFilter_->setClearButtonEnabled(true);
  TextBrowserFilter_->setAccessibleName("Filter");
  ListBrowserSounds_ = named<QListView>("ListBrowserSounds");
  ListBrowserSounds_->setModel(&model_);
  // Every row the same height: a list of thousands scrolls without measuring each.
  ListBrowserSounds_->setUniformItemSizes(true);
  ListBrowserSounds_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListBrowserSounds_->setAccessibleName("Sounds");
  CheckBrowserNote_ = named<QCheckBox>("CheckBrowserNote", "Play a note after each load");
  LabelBrowserCount_ = named<QLabel>("LabelBrowserCount");
  CommandBrowserClose_ = named<QPushButton>("CommandBrowserClose", "Close");

  auto* folderLabel = new QLabel("Folder:");
  folderLabel->setBuddy(TextBrowserFolder_);
  auto* filterLabel = new QLabel("F&ilter:");
  filterLabel->setBuddy(TextBrowserFilter_);
  auto* grid = new QGridLayout(this);
  grid->addWidget(folderLabel, 0, 0);
  grid->addWidget(TextBrowserFolder_, 0, 1);
  grid->addWidget(CommandBrowserFolder_, 0, 2);
  grid->addWidget(filterLabel, 1, 0);
  grid->addWidget(TextBrowserFilter_, 1, 1, 1, 2);
  grid->addWidget(ListBrowserSounds_, 2, 0, 1, 3);
  grid->addWidget(LabelBrowserCount_, 3, 0, 1, 3);
  grid->addWidget(CheckBrowserNote_, 4, 0, 1, 2);
  grid->addWidget(CommandBrowserClose_, 4, 2);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(1, 1);
  setTabOrder(TextBrowserFilter_, ListBrowserSounds_);
  setTabOrder(ListBrowserSounds_, CheckBrowserNote_);
  setTabOrder(CheckBrowserNote_, CommandBrowserClose_);
  setTabOrder(CommandBrowserClose_, CommandBrowserFolder_);

  connect(CommandBrowserFolder_, &QPushButton::clicked, this, &BrowserWindow::CommandBrowserFolder_Click);
  connect(TextBrowserFilter_, &QLineEdit::textChanged, this, &BrowserWindow::TextBrowserFilter_Change);
  connect(ListBrowserSounds_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &BrowserWindow::ListBrowserSounds_Moved);
  // Enter, and a double click (or a single one where the desktop activates on one).
  connect(ListBrowserSounds_, &QListView::activated, this, &BrowserWindow::ListBrowserSounds_Activated);
  connect(CheckBrowserNote_, &QCheckBox::clicked, this, &BrowserWindow::CheckBrowserNote_Click);
  connect(CommandBrowserClose_, &QPushButton::clicked, this, &BrowserWindow::CommandBrowserClose_Click);
}

void BrowserWindow::Form_Load() {
  browser_.windowOpened();
  TextBrowserFilter_->setText(qs(browser_.list().filter()));
  CheckBrowserNote_->setChecked(browser_.playsNote());
  refresh();
  ListBrowserSounds_->setFocus();
}

void BrowserWindow::refresh() {
  TextBrowserFolder_->setText(qs(readableName(browser_.folder())));
  if (listShown_ != browser_.listVersion()) {
    // New names keep the view where it was: the user may be looking elsewhere than the selection.
    const int scrolled = ListBrowserSounds_->verticalScrollBar()->value();
    quiet_ = true;
    model_.listChanged();
    quiet_ = false;
    ListBrowserSounds_->verticalScrollBar()->setValue(scrolled);
    listShown_ = browser_.listVersion();
  } else {
    model_.rowsChanged();
  }
  const SoundList& list = browser_.list();
  QString count;
  if (browser_.folderError() != FileErrorCode::None)
    count = qs(fileErrorDescription(browser_.folderError()));
  else if (list.filter().empty())
    count = QString("%1 sounds").arg(list.fileCount());
  else
    count = QString("%1 of %2 sounds").arg(list.rowCount()).arg(list.fileCount());
  LabelBrowserCount_->setText(count);
  showSelection(browser_.selected() != selectionShown_);
}

void BrowserWindow::showSelection(bool scroll) {
  selectionShown_ = browser_.selected();
  const auto row = browser_.list().rowOf(selectionShown_);
  const QModelIndex at = row ? model_.index(static_cast<int>(*row)) : QModelIndex();
  quiet_ = true;
  // Set on the view, even to no row: a view with no current row of its own puts it on the
  // first row when it gets the focus, and that row would load.
  ListBrowserSounds_->setCurrentIndex(at);
  quiet_ = false;
  if (scroll && at.isValid()) ListBrowserSounds_->scrollTo(at);
}

void BrowserWindow::ListBrowserSounds_Moved(const QModelIndex& current) {
  if (quiet_ || !current.isValid()) return;
  selectionShown_ = bytesOf(current.data(SoundListModel::kFileRole));
  browser_.select(selectionShown_);
}

void BrowserWindow::ListBrowserSounds_Activated(const QModelIndex& index) {
  if (index.isValid()) browser_.loadNow(bytesOf(index.data(SoundListModel::kFileRole)));
}

void BrowserWindow::CommandBrowserFolder_Click() {
  if (const auto folder = browser_.chooseFolder()) browser_.setFolder(*folder);
}

void BrowserWindow::TextBrowserFilter_Change() { browser_.setFilter(TextBrowserFilter_->text().toStdString()); }

void BrowserWindow::CheckBrowserNote_Click() { browser_.setPlaysNote(CheckBrowserNote_->isChecked()); }

void BrowserWindow::CommandBrowserClose_Click() { close(); }

void BrowserWindow::closeEvent(QCloseEvent* event) {
  browser_.windowClosed();
  event->accept();
}

}  // namespace rotavox
