#pragma once

#include <QWidget>

class QFrame;

namespace rotavox {

// F_About: the program's name, version and a freeware notice. A character key or a click on
// its frame closes it; clicks on the labels do nothing.
class AboutBox : public QWidget {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
  void Form_Load();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QFrame* Frame1_;
};

}  // namespace rotavox
