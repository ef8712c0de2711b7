#include "reach/marking.h"

#include <algorithm>

#include "model/numbers.h"
#include "model/places.h"

bool PlaceOrderKey(const QString& name, int& key, QString* error)
{
    // The number is read from at most five characters after the first one:
    // an optional sign and decimal digits.
    const QString digits = name.mid(1, 5);
    int i = 0;
    bool negative = false;
    if (i < digits.size() && (digits[i] == u'+' || digits[i] == u'-')) {
        negative = digits[i] == u'-';
        ++i;
    }
    int number = 0;
    const int first = i;
    for (; i < digits.size(); ++i) {
        const QChar c = digits[i];
        if (c < u'0' || c > u'9')
            break;
        number = number * 10 + (c.unicode() - u'0');
    }
    if (i == first || i != digits.size()) {
        if (error)
            *error = QStringLiteral("The place \"%1\" has no number in characters 2 to 6 of its name "
                                    "(\"%2\" is not a whole number). The reachability analysis orders "
                                    "the places by that number; rename the place.")
                         .arg(name, digits);
        return false;
    }
    key = (negative ? -number : number) + (name.startsWith(u'b') ? 100 : 0);
    return true;
}

bool PlaceOrder(const QStringList& names, std::vector<int>& order, QString* error)
{
    std::vector<int> keys(static_cast<std::size_t>(names.size()));
    for (int i = 0; i < names.size(); ++i)
        if (!PlaceOrderKey(names[i], keys[static_cast<std::size_t>(i)], error))
            return false;
    order.resize(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    return true;
}

namespace {

// Small whole numbers are by far the most common values: write them directly.
inline void appendWhole(std::string& out, unsigned long long n)
{
    char buf[24];
    int len = 0;
    do {
        buf[len++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (len > 0)
        out.push_back(buf[--len]);
}

} // namespace

void AppendMarkingValue(std::string& out, double value)
{
    if (value == OmegaValue) {
        out.push_back('w');
        return;
    }
    if (value >= 0 && value < 1e15 && value == static_cast<double>(static_cast<long long>(value))) {
        appendWhole(out, static_cast<unsigned long long>(value));
        return;
    }
    AppendGeneral(out, value);
}

void AppendValuesText(std::string& out, const double* values, int count)
{
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out.push_back(',');
        AppendMarkingValue(out, values[i]);
    }
}

bool TMark::AddPlace(const QString& name, double balance, double value, QString* error)
{
    int key = 0;
    if (!PlaceOrderKey(name, key, error))
        return false;
    // Places mostly come in order: then the entry is simply appended.
    auto at = m_entries.end();
    if (!m_entries.empty() && m_entries.back().Key > key) {
        at = m_entries.begin();
        while (at->Key <= key)
            ++at;
    }
    m_entries.insert(at, TEntry{name, key, value, balance});
    return true;
}

QString TMark::Name(int i) const
{
    return i >= 0 && i < Count() ? m_entries[static_cast<size_t>(i)].Name : QString();
}

double TMark::Value(int i) const
{
    return i >= 0 && i < Count() ? m_entries[static_cast<size_t>(i)].Value : 0.0;
}

double TMark::Balance(int i) const
{
    return i >= 0 && i < Count() ? m_entries[static_cast<size_t>(i)].Balance : 0.0;
}

void TMark::SetValue(int i, double value)
{
    if (i >= 0 && i < Count())
        m_entries[static_cast<size_t>(i)].Value = value;
}

bool TMark::Equals(const TMark* other) const
{
    if (!other || other->Count() != Count())
        return false;
    for (int i = 0; i < Count(); ++i)
        if (Value(i) != other->Value(i))
            return false;
    return true;
}

bool TMark::IsCoveredBy(const TMark* other) const
{
    if (!other)
        return true;
    for (int i = 0; i < Count(); ++i)
        if (!(Value(i) <= other->Value(i)))
            return false;
    return true;
}

QString TMark::GetValuesText() const
{
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        if (i > 0)
            out.push_back(',');
        AppendMarkingValue(out, Value(i));
    }
    return QString::fromStdString(out);
}

QString TMark::GetPositionsText() const
{
    QString out = QStringLiteral("[");
    for (int i = 0; i < Count(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += Name(i);
    }
    return out + QLatin1Char(']');
}
