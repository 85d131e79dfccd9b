#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/files/SoundControls.h"

namespace rotavox {

// The sound file's view of the main window: finds the value controls by object name under
// a root widget. Line edits and editable combo boxes give their text, scroll bars their
// position, check boxes their state; each set goes through the widget's own setter, so the
// control's change handler runs before the set returns.
class WidgetSoundControls : public SoundControls {
 public:
  explicit WidgetSoundControls(QWidget* root) : root_(root) {}

  std::optional<std::string> text(std::string_view name) const override;
  bool setText(std::string_view name, std::string_view text) override;
  std::optional<int> position(std::string_view name) const override;
  std::optional<PositionRange> positionRange(std::string_view name) const override;
  bool setPosition(std::string_view name, int value) override;

 private:
  QWidget* find(std::string_view name) const;

  QPointer<QWidget> root_;
  mutable QHash<QString, QPointer<QWidget>> found_;
};

}  // namespace rotavox
