#pragma once

#include <string>

namespace rotavox {

enum class MessageIcon { None, Warning, Critical, Question, Error };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

// Shows a modal message box and returns the button the user chose. The program uses a
// QMessageBox; tests use a recorder with scripted answers, so no test blocks on a box.
class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  virtual MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) = 0;
};

}  // namespace rotavox
