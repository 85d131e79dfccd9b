#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/common/MessagePresenter.h"

namespace rotavox::test {

// Records every message box and answers from a script (OK when the script is empty).
class RecordingPresenter : public MessagePresenter {
 public:
  struct Box {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
  };
  std::vector<Box> boxes;
  std::deque<MessageAnswer> answers;

  MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon icon,
                     MessageButtons buttons) override {
    boxes.push_back({text, caption, icon, buttons});
    if (answers.empty()) return MessageAnswer::Ok;
    const MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
  }

  // The texts of the boxes shown so far, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const Box& b : boxes) out.push_back(b.text);
    return out;
  }
};

}  // namespace rotavox::test
