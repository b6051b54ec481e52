// Control values as the decimal numbers they stand for. A host hands a control as a float:
// 17.3 arrives as 17.2999992..., while the panel, the presets, the parameter files and
// `zvmp3-cli --set agc_drive_db=17.3` all hold the double nearest 17.3, and the chain's output
// depends on every bit of it.
#pragma once

namespace zv::plugin {

// The double nearest the shortest decimal that reads back as v (17.3f gives 17.3). Allocates
// nothing.
double decimal_value(float v);

// A sum of decimal settings without its binary remainder (-0.8 + 0.3 gives -0.5, not
// -0.5000000000000001): the double nearest v rounded to nine decimals. Values of a million or
// more come back unchanged.
double round_to_decimals(double v);

}  // namespace zv::plugin
