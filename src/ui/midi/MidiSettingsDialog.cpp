#include "ui/midi/MidiSettingsDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <string>
#include <vector>

#include "ui/common/Twips.h"

namespace rotavox {

MidiSettingsDialog::MidiSettingsDialog(AppContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), ctx_(ctx), midi_(ctx.midi) {
  setObjectName("F_Midi");
  setWindowTitle("Midi settings");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(5430), twips(3405));

  Bezeichnung1_ = placed<QLabel>(this, "Bezeichnung1", twipRect(750, 600, 1815, 255), "MIDI-port:");
  placed<QLabel>(this, "Label1", twipRect(3690, 600, 1275, 255), "MIDI-channel:");
  placed<QLabel>(this, "Label2", twipRect(315, 975, 360, 255), "in:");
  AuswahlMIDIinPort_ = placed<QComboBox>(this, "AuswahlMIDIinPort", twipRect(750, 930, 2730, 315));
  AuswahlMIDIinChannel_ = placed<QComboBox>(this, "AuswahlMIDIinChannel", twipRect(3690, 930, 1065, 315));
  placed<QLabel>(this, "Label3", twipRect(315, 1425, 360, 255), "out:");
  AuswahlMIDIPort_ = placed<QComboBox>(this, "AuswahlMIDIPort", twipRect(750, 1380, 2730, 315));
  AuswahlMIDIChannel_ = placed<QComboBox>(this, "AuswahlMIDIChannel", twipRect(3690, 1380, 1065, 315));
  Text1_ = placed<QLabel>(this, "Text1", twipRect(750, 1905, 2400, 255), "Manufacturer ID: - not set -");
  Text2_ = placed<QLabel>(this, "Text2", twipRect(750, 2130, 2400, 255), "Product ID: - not set -");
  Text3_ = placed<QLabel>(this, "Text3", twipRect(750, 2340, 2400, 255), "Driver ver.: - not set -");
  Text4_ = placed<QLabel>(this, "Text4", twipRect(750, 2565, 2400, 255), "Type: - not set -");
  Command1_ = placed<QPushButton>(this, "Command1", twipRect(3210, 2295, 1545, 495), "&Close");
  for (QLabel* l : {Text1_, Text2_, Text3_, Text4_}) l->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  AuswahlMIDIinPort_->setAccessibleName("MIDI in port");
  AuswahlMIDIinChannel_->setAccessibleName("MIDI in channel");
  AuswahlMIDIPort_->setAccessibleName("MIDI out port");
  AuswahlMIDIChannel_->setAccessibleName("MIDI channel");
  setTabOrder(AuswahlMIDIPort_, AuswahlMIDIChannel_);
  setTabOrder(AuswahlMIDIChannel_, Command1_);
  setTabOrder(Command1_, AuswahlMIDIinChannel_);
  setTabOrder(AuswahlMIDIinChannel_, AuswahlMIDIinPort_);

  connect(AuswahlMIDIPort_, &QComboBox::currentIndexChanged, this, [this](int p) {
    if (p >= 0) AuswahlMIDIPort_Click(p);
  });
  connect(AuswahlMIDIinPort_, &QComboBox::currentIndexChanged, this, [this](int p) {
    if (p >= 0) AuswahlMIDIinPort_Click(p);
  });
  connect(AuswahlMIDIChannel_, &QComboBox::currentIndexChanged, this, [this](int p) {
    if (p >= 0) AuswahlMIDIChannel_Click(p);
  });
  connect(Command1_, &QPushButton::clicked, this, &MidiSettingsDialog::Command1_Click);
}

void MidiSettingsDialog::Form_Load() {
  MidiState& st = midi_.state();
  midi_.SwitchMidiOut("close");
  midi_.SwitchMidiThru("close");
  // A MIDI system that went away (a stopped JACK server) may run again by now.
  midi_.chooseServiceAgainIfGone();
  MidiService& service = midi_.service();

  // A position means something only in the list read now; until the remembered ports are
  // found in it (below), none is chosen. A load that fails half way thus leaves nothing that
  // Close could open in the wrong place.
  st.MidiOutDevice = -1;
  st.MidiInDevice = -1;

  // Tables of 100 records: ports past the 99th output or 100th input are not listed.
  const int n = static_cast<int>(std::min(service.outDeviceCount(), kMaxOutPorts));
  outCount_ = n;
  Bezeichnung1_->setText(QString("MIDI-port (%1):").arg(n + 1));

  for (int i = 0; i < n; ++i) {
    PortCapsOut_[static_cast<std::size_t>(i)] = MidiOutCaps{};
    if (const MidiResult r = service.outCaps(i, PortCapsOut_[static_cast<std::size_t>(i)])) {
      midi_.ShowMidiError("OUTCaps", r);
      return;
    }
  }
  PortCapsOut_[static_cast<std::size_t>(n)] = MidiOutCaps{};
  service.outCaps(kMidiMapperDevice, PortCapsOut_[static_cast<std::size_t>(n)]);
  {
    const QSignalBlocker block(AuswahlMIDIPort_);
    AuswahlMIDIPort_->clear();
    for (int i = 0; i <= n; ++i)
      AuswahlMIDIPort_->addItem(QString::fromStdString(portNameText(PortCapsOut_[static_cast<std::size_t>(i)].name)));
    AuswahlMIDIPort_->setCurrentIndex(-1);
  }

  const int m = static_cast<int>(std::min(service.inDeviceCount(), kMaxInPorts));
  inCount_ = m;
  for (int i = 0; i < m; ++i) {
    PortCapsIn_[static_cast<std::size_t>(i)] = MidiInCaps{};
    if (const MidiResult r = service.inCaps(i, PortCapsIn_[static_cast<std::size_t>(i)])) {
      midi_.ShowMidiError("INCaps", r);
      return;
    }
  }
  {
    const QSignalBlocker block(AuswahlMIDIinPort_);
    AuswahlMIDIinPort_->clear();
    for (int i = 0; i < m; ++i)
      AuswahlMIDIinPort_->addItem(QString::fromStdString(portNameText(PortCapsIn_[static_cast<std::size_t>(i)].name)));
    AuswahlMIDIinPort_->setCurrentIndex(-1);
  }

  // The ports chosen before are looked up by identity: other ports coming or going move them
  // in the list. One that is gone is forgotten, so that Close asks for a new choice instead of
  // opening whatever now stands at its old place.
  std::vector<std::string> outIds;
  for (int i = 0; i <= n; ++i) outIds.push_back(PortCapsOut_[static_cast<std::size_t>(i)].identity);
  std::vector<std::string> inIds;
  for (int i = 0; i < m; ++i) inIds.push_back(PortCapsIn_[static_cast<std::size_t>(i)].identity);
  st.MidiOutDevice = findRememberedPort(st.outPort, outIds, true);
  st.MidiInDevice = findRememberedPort(st.inPort, inIds, false);
  if (st.MidiOutDevice < 0) st.outPort = {};
  if (st.MidiInDevice < 0) st.inPort = {};
  if (st.MidiOutDevice > -1) AuswahlMIDIPort_->setCurrentIndex(st.MidiOutDevice);
  if (st.MidiInDevice > -1) AuswahlMIDIinPort_->setCurrentIndex(st.MidiInDevice);

  {
    const QSignalBlocker blockOut(AuswahlMIDIChannel_);
    const QSignalBlocker blockIn(AuswahlMIDIinChannel_);
    AuswahlMIDIChannel_->clear();
    AuswahlMIDIinChannel_->clear();
    for (int c = 1; c <= 16; ++c) {
      AuswahlMIDIChannel_->addItem(QString("#%1").arg(c));
      AuswahlMIDIinChannel_->addItem(QString("#%1").arg(c));
    }
    AuswahlMIDIChannel_->setCurrentIndex(-1);
    AuswahlMIDIinChannel_->setCurrentIndex(-1);
  }
  if (st.MidiChannel > -1) {
    AuswahlMIDIChannel_->setCurrentIndex(st.MidiChannel);
  } else {
    AuswahlMIDIChannel_->setCurrentIndex(0);
    st.MidiChannel = 0;
  }
  if (st.MidiInChannel < 0) {
    AuswahlMIDIinChannel_->setCurrentIndex(0);
    st.MidiInChannel = 0;
  } else {
    AuswahlMIDIinChannel_->setCurrentIndex(st.MidiInChannel);
  }
}

void MidiSettingsDialog::AuswahlMIDIPort_Click(int position) {
  if (position < 0 || position > outCount_) return;
  midi_.state().MidiOutDevice = position;
  midi_.state().outPort = {PortCapsOut_[static_cast<std::size_t>(position)].identity, position == outCount_};
  const MidiOutCaps& caps = PortCapsOut_[static_cast<std::size_t>(position)];
  Text1_->setText(QString::fromStdString("Manufacturer ID: " + hexText(caps.manufacturerId) + "\r\n"));
  Text2_->setText(QString::fromStdString("Product ID: " + hexText(caps.productId) + "\r\n"));
  Text3_->setText(QString::fromStdString(driverVersionText(caps.driverVersion)));
  Text4_->setText(QString::fromStdString("Type: " + std::string(technologyText(caps.technology))));
}

void MidiSettingsDialog::AuswahlMIDIinPort_Click(int position) {
  midi_.state().MidiInDevice = position;
  if (position >= 0 && position < inCount_)
    midi_.state().inPort = {PortCapsIn_[static_cast<std::size_t>(position)].identity, false};
}

void MidiSettingsDialog::AuswahlMIDIChannel_Click(int position) { midi_.state().MidiChannel = position; }

void MidiSettingsDialog::Command1_Click() {
  if (midi_.state().MidiOutDevice == -1) {
    ctx_.presenter.show("You have to select a MIDI OUT port first!", "No MIDI port set", MessageIcon::Warning,
                        MessageButtons::Ok);
    return;
  }
  midi_.SwitchMidiOut("open");
  midi_.SwitchMidiThru("open");
  close();
}

}  // namespace rotavox
