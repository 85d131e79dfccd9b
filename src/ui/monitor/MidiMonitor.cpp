#include "ui/monitor/MidiMonitor.h"

#include <QAction>
#include <QMenu>
#include <chrono>

#include "ui/common/ShowOrRaise.h"
#include "ui/monitor/MonitorWindow.h"

namespace rotavox {

MidiMonitor::MidiMonitor(AppContext& ctx, QMenu* menu, QWidget* window)
    : QObject(window), ctx_(ctx), parentWindow_(window) {
  setObjectName("MidiMonitor");
  clock_.start();
  startNanos_ = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                    .count();
  // Only a copy into the ring: the message has reached the service already. The service that
  // answered is still the link's, so a failure's text is asked of it now.
  ctx_.midi.setSendListener([this](std::uint32_t message, MidiResult result) {
    const std::int64_t micros = clock_.nsecsElapsed() / 1000;
    if (result == kMidiOk)
      log_.add(micros, message, result);
    else
      log_.add(micros, message, result, ctx_.midi.service().outErrorText(result));
  });
  QAction* item = menu->addAction("MIDI &monitor");
  item->setObjectName("Menu_Monitor");
  item->setShortcut(QKeySequence("Ctrl+Shift+M"));
  connect(item, &QAction::triggered, this, &MidiMonitor::Menu_Monitor_Click);
}

MidiMonitor::~MidiMonitor() { ctx_.midi.setSendListener(nullptr); }

MonitorWindow* MidiMonitor::window() const { return window_; }

void MidiMonitor::logReceived(std::int64_t arrivalNanos, std::uint32_t message) {
  log_.addReceived((arrivalNanos - startNanos_) / 1000, message);
}

void MidiMonitor::Menu_Monitor_Click() {
  showOrRaise(window_, [this] { return new MonitorWindow(*this, parentWindow_); });
}

}  // namespace rotavox
