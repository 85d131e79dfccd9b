#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include "core/monitor/MidiLog.h"
#include "ui/common/AppContext.h"

class QMenu;
class QWidget;

namespace rotavox {

class MonitorWindow;

// The MIDI monitor's side that runs all the time: it keeps the last messages the program
// handed to the MIDI service (whether the window is open or not) and shows the window from
// the item "MIDI &monitor" at the end of the given menu.
class MidiMonitor : public QObject {
  Q_OBJECT
 public:
  MidiMonitor(AppContext& ctx, QMenu* menu, QWidget* window);
  ~MidiMonitor() override;

  void Menu_Monitor_Click();

  // A message received from the followed port, arrived at `arrivalNanos` of the steady clock.
  void logReceived(std::int64_t arrivalNanos, std::uint32_t message);

  const MidiLog& log() const { return log_; }
  void clear() { log_.clear(); }
  MonitorWindow* window() const;

 private:
  AppContext& ctx_;
  QWidget* parentWindow_;
  MidiLog log_;
  QElapsedTimer clock_;
  std::int64_t startNanos_ = 0;  // the clock's start on the steady clock received messages bear
  QPointer<MonitorWindow> window_;
};

}  // namespace rotavox
