// Filter designs by bilinear transform with prewarping (K = tan(pi * fc / rate)), so the
// digital section is exactly 3.01 dB down at fc. Higher orders are returned as ONE direct-form
// section of their order (the cascade polynomial expanded), with a0 = 1.
#pragma once

#include "engine/coefficient_types.h"

namespace zv {

FirstOrderCoeffs first_order_lowpass(double fc, double rate);
FirstOrderCoeffs first_order_highpass(double fc, double rate);

BiquadCoeffs butterworth_lowpass2(double fc, double rate);
BiquadCoeffs butterworth_highpass2(double fc, double rate);
ThirdOrderCoeffs butterworth_lowpass3(double fc, double rate);
ThirdOrderCoeffs butterworth_highpass3(double fc, double rate);
FifthOrderCoeffs butterworth_lowpass5(double fc, double rate);
FifthOrderCoeffs butterworth_highpass5(double fc, double rate);

}  // namespace zv
