// A marking of the net: for every place taking part in the analysis its value
// (token count or level) and balance, listed in place order. The store keeps
// its markings packed (marking_store.h); a TMark is one marking on its own, as
// read from the net or made by hand.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// The key that orders the entries of a marking: the integer written by
// characters 2 to 6 of the place name, plus 100 when the name begins with
// "b" (continuous places). False, with the message for the user, when those
// characters are not a decimal integer.
bool PlaceOrderKey(const QString& name, int& key, QString* error = nullptr);

// The entry order of places: the positions in `names` of the places as a
// marking lists them (ordered by their keys, equal keys in the order given).
// False, with the message for the first name without a number.
bool PlaceOrder(const QStringList& names, std::vector<int>& order, QString* error = nullptr);

// Appends the values text of `count` values: each value in the shortest
// general decimal form (15 significant digits), 99999 as "w", separated by ",".
void AppendValuesText(std::string& out, const double* values, int count);
// One value as the values text writes it.
void AppendMarkingValue(std::string& out, double value);

class TMark
{
public:
    // Inserts an entry before the first entry whose key is greater (equal keys
    // keep their insertion order). False, with the message, for a place name
    // that carries no number.
    bool AddPlace(const QString& name, double balance, double value, QString* error = nullptr);

    int Count() const { return static_cast<int>(m_entries.size()); }
    QString Name(int i) const;
    // 0 outside the entries.
    double Value(int i) const;
    double Balance(int i) const;
    // Ignored outside the entries.
    void SetValue(int i, double value);

    // Same entry count and every value equal (names are not compared).
    bool Equals(const TMark* other) const;
    // True when `other` is absent or holds at least this marking's value in every entry.
    bool IsCoveredBy(const TMark* other) const;

    QString GetValuesText() const;
    // "[" + names joined by "," + "]".
    QString GetPositionsText() const;

    // Names of the continuous transitions enabled in this marking, joined by ",".
    QString OpenContinuous;

private:
    struct TEntry
    {
        QString Name;
        int Key;
        double Value;
        double Balance;
    };
    std::vector<TEntry> m_entries;
};
