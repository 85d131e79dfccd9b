#pragma once

#include <QWidget>
#include <vector>

#include "core/midi/MidiService.h"
#include "ui/common/AppContext.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace rotavox {

class Instrument;

// F_Follow, "Follow the instrument": chooses the port whose messages the panel follows ("Off",
// then the ports the thru's input list offers, named the same way) and says what came last.
// A choice takes effect at once; the following goes on with the window closed. Modeless;
// deletes itself when closed.
class FollowWindow : public QWidget {
  Q_OBJECT
 public:
  FollowWindow(Instrument& instrument, AppContext& ctx, QWidget* parent);

  // Lists the ports as they are now, the one followed preselected.
  void Form_Load();
  void ListFollowPort_Click(int position);
  void CommandFollowClose_Click() { close(); }

 private:
  struct Port {
    int device;
    MidiInCaps caps;
  };
  void refresh();

  Instrument& instrument_;
  AppContext& ctx_;
  QComboBox* ListFollowPort_;
  QLabel* LabelFollowState_;
  QPushButton* CommandFollowClose_;
  std::vector<Port> ports_;
};

}  // namespace rotavox
