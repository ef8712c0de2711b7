// Number texts shared by net files, formulas and analysis listings.
#pragma once

#include <QString>

// The shortest general decimal form of a value with at most `precision`
// significant digits: fixed notation while the value has no more integer
// digits than `precision` and is at least 0.00001 in magnitude, scientific
// notation ("1E-6", "1.5E20") otherwise. The decimal separator is always ".".
QString FormatGeneral(double value, int precision = 15);

// The same text appended to a byte buffer (used by the large listings).
void AppendGeneral(std::string& out, double value, int precision = 15);

// Reads a real number as net files store it: "," is taken as ".", blanks
// around the text are ignored. Returns false for anything else.
bool ParseReal(const QString& text, double& value);

// Reads a plain decimal integer (optional sign). Returns false otherwise.
bool ParseInteger(const QString& text, int& value);

// Rounds to the nearest integer, halves to even (banker's rounding).
double RoundHalfEven(double value);

// The value a number takes after it was written in general form and read back.
double RoundTrip15(double value);
