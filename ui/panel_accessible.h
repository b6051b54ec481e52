// What screen readers see of the panel: the panel widget with one child for every place of
// its focus order, each with its name and value ("Bass EQ Freq", "60"; "BYPASS", "off"), its
// role (a spin box for a control, a check box for a switch, a button for INIT), its state and
// its place on the screen.
#pragma once

#include <QtGlobal>

namespace zv {

inline constexpr const char* PANEL_ACCESSIBLE_NAME =
    QT_TRANSLATE_NOOP("Window", "コントロールパネル");

// Installs the factory that gives the panel widget its accessible view (once per process).
void install_panel_accessibility();

}  // namespace zv
