#pragma once

namespace rotavox {

// On Linux, Qt names a combo box after the text it shows, so a screen reader says "question
// mark, combo box" for a selector that shows "?". Once this is installed, a combo box that has
// an accessible name is called by it ("Oscillator 1 octave"), with the shown text as its value;
// one without is named by its text, as before. Combo boxes made before it keep Qt's own way.
// Installing it again does nothing.
void nameComboBoxesByPurpose();

}  // namespace rotavox
