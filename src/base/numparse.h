#pragma once
#include <QString>

namespace tessilor {

// Reads the decimal number at the start of a text field: leading blanks are
// skipped, then an optional sign, digits, an optional fraction and an
// optional exponent. A text without a leading number gives 0.
double leadingNumber(const QString &text);

// Floor of a double, saturated to +-9e18, within the 64-bit range (NaN
// gives 0).
qint64 floorToInt64(double value);

// Rounds half to even and saturates to the 16-bit signed range.
qint16 roundHalfEvenTo16(double value, bool *overflow = nullptr);

// Rounds half to even and saturates to the 32-bit signed range.
qint32 roundHalfEvenTo32(double value, bool *overflow = nullptr);

// Formats a whole number as decimal text.
QString decimalText(qint64 value);

// Formats a number the way the settings store writes a single precision
// value: the shortest decimal text that reads back to the same float.
QString shortestText(float value);

// Strict number parse for stored settings: the whole text (blanks around it
// allowed) must be a number, otherwise ok is false.
double strictNumber(const QString &text, bool *ok);

} // namespace tessilor
