#pragma once

#include <QAbstractListModel>
#include <QWidget>
#include <cstdint>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace rotavox {

class SoundBrowser;

// The browser's list as the view shows it: the sound's name; the sound on the panel bold,
// behind a play sign; a file whose last load failed in red, with the error's text.
class SoundListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  // The file's own bytes, under this role.
  static constexpr int kFileRole = Qt::UserRole;

  SoundListModel(SoundBrowser& browser, QObject* parent);
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // The list itself changed (new names, another filter), or only what its rows show.
  void listChanged();
  void rowsChanged();

 private:
  SoundBrowser& browser_;
  std::string onPanel_;  // the panel's file, as the rows last learnt it
};

// F_Browser: the sounds of one folder, to step through with the arrow keys; each one the
// selection rests on is loaded onto the panel. Modeless; it deletes itself when closed.
class BrowserWindow : public QWidget {
  Q_OBJECT
 public:
  BrowserWindow(SoundBrowser& browser, QWidget* parent);

  // Start-up: the browser's folder is listed and watched, its filter and selection shown.
  void Form_Load();
  // Shows the browser's state anew: folder, list, marks, selection.
  void refresh();

  void CommandBrowserFolder_Click();
  void TextBrowserFilter_Change();
  void CheckBrowserNote_Click();
  void CommandBrowserClose_Click();

  QLineEdit* TextBrowserFolder() const { return TextBrowserFolder_; }
  QPushButton* CommandBrowserFolder() const { return CommandBrowserFolder_; }
  QLineEdit* TextBrowserFilter() const { return TextBrowserFilter_; }
  QListView* ListBrowserSounds() const { return ListBrowserSounds_; }
  QCheckBox* CheckBrowserNote() const { return CheckBrowserNote_; }
  QLabel* LabelBrowserCount() const { return LabelBrowserCount_; }
  QPushButton* CommandBrowserClose() const { return CommandBrowserClose_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ListBrowserSounds_Moved(const QModelIndex& current);
  void ListBrowserSounds_Activated(const QModelIndex& index);
  void showSelection(bool scroll);

  SoundBrowser& browser_;
  SoundListModel model_;
  std::uint64_t listShown_ = 0;  // the browser's list version the view shows
  std::string selectionShown_;
  bool quiet_ = false;  // the program moves the selection: nothing loads

  QLineEdit* TextBrowserFolder_;
  QPushButton* CommandBrowserFolder_;
  QLineEdit* TextBrowserFilter_;
  QListView* ListBrowserSounds_;
  QCheckBox* CheckBrowserNote_;
  QLabel* LabelBrowserCount_;
  QPushButton* CommandBrowserClose_;
};

}  // namespace rotavox
