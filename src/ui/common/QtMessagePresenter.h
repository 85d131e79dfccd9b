#pragma once

#include "core/common/MessagePresenter.h"

namespace rotavox {

// Message boxes of the running program: a modal QMessageBox.
class QtMessagePresenter : public MessagePresenter {
 public:
  MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon icon,
                     MessageButtons buttons) override;
};

}  // namespace rotavox
