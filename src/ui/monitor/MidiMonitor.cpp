#include "ui/monitor/MidiMonitor.h"

#include <QAction>
#include <QMenu>

#include "ui/common/ShowOrRaise.h"
#include "ui/monitor/MonitorWindow.h"

namespace rotavox {

MidiMonitor::MidiMonitor(AppContext& ctx, QMenu* menu, QWidget* window)
    : QObject(window), ctx_(ctx), parentWindow_(window) {
  setObjectName("MidiMonitor");
  clock_.start();
  // Only a copy into the ring: the message has reached the service already.
  ctx_.midi.setSendListener([this](std::uint32_t message, MidiResult result) {
    log_.add(clock_.nsecsElapsed() / 1000, message, result);
  });
  QAction* item = menu->addAction("MIDI &monitor");
  item->setObjectName("Menu_Monitor");
  item->setShortcut(QKeySequence("Ctrl+Shift+M"));
  connect(item, &QAction::triggered, this, &MidiMonitor::Menu_Monitor_Click);
}

MidiMonitor::~MidiMonitor() { ctx_.midi.setSendListener(nullptr); }

MonitorWindow* MidiMonitor::window() const { return window_; }

void MidiMonitor::Menu_Monitor_Click() {
  showOrRaise(window_, [this] { return new MonitorWindow(*this, parentWindow_); });
}

const std::string& MidiMonitor::errorText(MidiResult code) {
  auto it = errorTexts_.find(code);
  if (it == errorTexts_.end()) it = errorTexts_.emplace(code, ctx_.midi.service().outErrorText(code)).first;
  return it->second;
}

}  // namespace rotavox
