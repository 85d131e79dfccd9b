#pragma once

#include <QPointer>

namespace rotavox {

// Shows a modeless dialog: one that is open is only brought forward, otherwise make() builds
// a new one and its start-up runs first, so the start-up runs once per opening. A dialog that
// was closed and waits for its deletion counts as gone.
template <typename Dialog, typename Make>
Dialog* showOrRaise(QPointer<Dialog>& dialog, Make&& make) {
  if (!dialog || dialog->isHidden()) {
    dialog = make();
    dialog->Form_Load();
  }
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}

}  // namespace rotavox
