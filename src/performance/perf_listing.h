// The text listing of a sweep's results, as the analysis windows show and save it.
#pragma once

#include <QString>
#include <QStringList>

class TCalcEngine;

// A number as the listing writes it: rounded to 4 significant digits, with
// "," as the decimal separator and exactly 4 digits after it ("1,7500",
// "0,0000" below 0.00005); from 10000 on in exponent form ("1,235E+0004").
QString ListingNumber(double value);

// The listing of the engine's results over one argument (`arg2Text` "None")
// or two, listed entries only, in the order of the values list.
QStringList PerformanceListing(const TCalcEngine& engine, const QString& arg1Text, const QString& arg2Text);

// The results as comma-separated values: a header row (the argument texts,
// then each listed entry's description) and one row per point, every value
// in the shortest form that reads back to the same double.
QByteArray PerformanceCsv(const TCalcEngine& engine, const QString& arg1Text, const QString& arg2Text);

// The shortest decimal text that reads back to the same double.
QString ShortestNumber(double value);
