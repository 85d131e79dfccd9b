#include "ui/midi/FollowWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <string>

#include "core/midi/PortCaps.h"
#include "core/midi/PortChoice.h"
#include "ui/common/Twips.h"
#include "ui/midi/Instrument.h"

namespace rotavox {

FollowWindow::FollowWindow(Instrument& instrument, AppContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), instrument_(instrument), ctx_(ctx) {
  setObjectName("F_Follow");
  setWindowTitle("Follow the instrument");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(5430), twips(2700));

  auto* portLabel = placed<QLabel>(this, "LabelFollowPort", twipRect(315, 360, 700, 255), "&Port:");
  ListFollowPort_ = placed<QComboBox>(this, "ListFollowPort", twipRect(1050, 315, 4065, 315));
  portLabel->setBuddy(ListFollowPort_);
  ListFollowPort_->setAccessibleName("Port to follow");
  ListFollowPort_->setToolTip("The port the instrument sends its knobs on (its MIDI out)");
  LabelFollowState_ = placed<QLabel>(this, "LabelFollowState", twipRect(315, 840, 4800, 1050));
  LabelFollowState_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelFollowState_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  LabelFollowState_->setMargin(4);
  LabelFollowState_->setWordWrap(true);
  LabelFollowState_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  CommandFollowClose_ = placed<QPushButton>(this, "CommandFollowClose", twipRect(3570, 2010, 1545, 495), "Close");

  connect(ListFollowPort_, &QComboBox::activated, this, &FollowWindow::ListFollowPort_Click);
  connect(CommandFollowClose_, &QPushButton::clicked, this, &FollowWindow::CommandFollowClose_Click);
  connect(&instrument_, &Instrument::stateChanged, this, &FollowWindow::refresh);
}

void FollowWindow::Form_Load() {
  MidiService& service = ctx_.midi.service();
  ports_.clear();
  const int m = static_cast<int>(std::min(service.inDeviceCount(), kMaxInPorts));
  for (int i = 0; i < m; ++i) {
    MidiInCaps caps;
    if (service.inCaps(i, caps) == kMidiOk) ports_.push_back({i, caps});
  }
  std::vector<std::string> identities;
  for (const Port& p : ports_) identities.push_back(p.caps.identity);
  const int followed = instrument_.following() ? findRememberedPort(instrument_.followedPort(), identities, false) : -1;
  {
    const QSignalBlocker quiet(ListFollowPort_);
    ListFollowPort_->clear();
    ListFollowPort_->addItem("Off");
    for (const Port& p : ports_) ListFollowPort_->addItem(QString::fromStdString(portNameText(p.caps.name)));
    ListFollowPort_->setCurrentIndex(followed + 1);
  }
  refresh();
}

void FollowWindow::ListFollowPort_Click(int position) {
  if (position <= 0 || position > static_cast<int>(ports_.size())) {
    instrument_.stopFollowing();
  } else {
    const Port& p = ports_[static_cast<std::size_t>(position - 1)];
    instrument_.follow(p.device, p.caps);
  }
  refresh();
}

// A port that went away, or one that could not be followed, leaves the list at "Off".
void FollowWindow::refresh() {
  if (!instrument_.following() && ListFollowPort_->currentIndex() != 0) {
    const QSignalBlocker quiet(ListFollowPort_);
    ListFollowPort_->setCurrentIndex(0);
  }
  LabelFollowState_->setText(instrument_.stateText());
}

}  // namespace rotavox
