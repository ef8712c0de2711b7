// The invariant matrix file (.imf): a matrix as its grid shows it, as text.
#pragma once

#include <QString>

class T2DMatrix;

// The text shown instead of a matrix whose invariants were not found.
inline const QString InvariantsNotFoundText = QStringLiteral("Invariants Not Found !");

// The grid lines of a matrix: the label row first, then one line per row
// with its label. Every cell is right-aligned in 8 characters, or preceded
// by one blank when it is longer, so that cells never run together.
QString ImfGridText(const T2DMatrix& matrix, const QString& eol = QStringLiteral("\r\n"));

// The whole file: the two comment lines, an empty line and the grid (or the
// "Invariants Not Found !" line when `notFound`).
QString ImfText(const T2DMatrix& matrix, bool notFound, const QString& eol = QStringLiteral("\r\n"));

// Writes the text to a file in one go: a failed write leaves any previous
// file as it was. Returns an empty text on success, otherwise the message.
QString SaveImfFile(const QString& fileName, const QString& text);

// The name as saved: ".imf" is appended to a file name without a ".".
QString ImfFileName(const QString& chosen);
