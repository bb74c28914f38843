// Makes a check box fit a place laid out for a smaller check mark than the toolkit's default.
// Per-OS implementation beside this header.
#pragma once

class wxCheckBox;

namespace zephra {

// GTK's check mark needs more height than the 14 pixels the main window gives the favorites
// box, and complains while measuring it; a compact mark fits. Nothing to do elsewhere.
void makeCheckBoxCompact(wxCheckBox* box);

}  // namespace zephra
